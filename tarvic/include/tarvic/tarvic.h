// CTarvic: a TCP client socket speaking the few RTSP requests a device needs.
// It formats a request, sends it, reads the response header back and picks the
// status code and header fields out of it. Results, not exceptions: 1 success,
// 0 failure, -1 or a null pointer where stated.
//
// A socket handle is a file descriptor; "no socket" is INVALID_SOCKET (0 is a
// valid descriptor here). Waits are readiness waits with time limits.
#pragma once

#include <string>

#include "platform/export.h"
#include "platform/types.h"

class BREVANTA_EXPORT CTarvic {
 public:
  CTarvic();
  ~CTarvic();
  CTarvic(const CTarvic&) = default;
  // Copies every field: both objects then refer to the same socket handle, so
  // only one of them may close it (see DetachSocket).
  CTarvic& operator=(const CTarvic&) = default;

  // 1 after a successful Connect; a caller that connects an adopted socket
  // itself sets it too.
  int m_bConnected;

  // Creates a TCP socket unless connected; 0 if connected or creation fails.
  int Socket();
  // Adopts s without changing the connected flag; 0 for INVALID_SOCKET.
  int Socket(unsigned int s);
  // Dotted IPv4 only (no name lookup); waits at most 10 s for the connection.
  // On failure the socket is closed and a new Socket() is needed.
  int Connect(const wchar_t* host, int port);
  int CloseSocket();
  // Gives the held handle back without closing it (for a caller that owns an
  // adopted socket); clears the handle and the connected flag.
  unsigned int DetachSocket();

  // Request formatting; each call first runs InitData (time-outs back to their
  // defaults, previous response discarded). The result points to the request
  // buffer, which stays empty when the text does not fit 1024 bytes.
  // FormatRequestHeader knows method 4 only (PLAY with a TCP transport line).
  const char* FormatRequestHeader(int method, const wchar_t* url, unsigned long session,
                                  const wchar_t* ip, int port);
  const char* FormatPlayRequestHeader(const wchar_t* url, unsigned long session);
  const char* FormatPauseRequestHeader(const wchar_t* url, unsigned long session);
  const char* FormatTearDownRequestHeader(const wchar_t* url, unsigned long session);
  const char* FormatSetParamRequestHeader(const wchar_t* url, const wchar_t* body);
  const char* FormatSetParamRequestHeader(const wchar_t* url, const wchar_t* name,
                                          const wchar_t* value);

  // Sends text (length characters) or, with length 0, the formatted request;
  // SendRequest then reads the response header.
  int SendRequest(const wchar_t* text, long length);
  int SendRequest_WithoutBack(const wchar_t* text, long length);
  // Reads the response header once (byte by byte, each byte waited for at most
  // the receive time-out, the whole header at most twice that); later calls
  // return it again. Null on time-out or a broken connection.
  const char* GetResponseHeader(int& length);
  int GetResponseLine(char* dst, int size);
  std::wstring GetField(const wchar_t* name);
  int GetServerState();
  int GetRequestHeader(char* dst, int size) const;

  long Receive(char* buf, long size);
  int SelectRcv(unsigned int s, char* buf, int size, unsigned long seconds);
  int SelectRcv(char* buf, int size);
  int SelectSend(unsigned int s, const char* data, int len, unsigned long seconds);
  // which != 0: send time-out, 0: receive time-out (seconds). Returns 1.
  int SetTimeout(int seconds, int which);
  void InitData();
  std::wstring GetLocalIP();

 protected:
  int Send_Block(unsigned int s, const char* data, int len, unsigned long seconds);

  char m_szRequest[1024];
  char m_szResponse[1024];
  int m_nPort;
  wchar_t m_szPeerIP[256];
  unsigned int m_hSocket;
  int m_nSendTimeOut;
  int m_nRecvTimeOut;
  int m_nReadPos;
  int m_bResponse;
  int m_nResponseLen;

 private:
  bool HasSocket() const { return m_hSocket != INVALID_SOCKET; }
  const char* StoreRequest(const std::wstring& text);
  int SendBytes(const wchar_t* text, long length, const char* diagnostic);
};
