// CMorvic: an HTTP/1.1 client connection. One object keeps one connection open
// and carries several GET exchanges over it in a row:
//   Socket, Connect, SetTimeout, then per request FormatRequestHeader,
//   SendRequest, GetServerState / GetField, SelectRcv until the body is in.
// Every wait is bounded by the receive time-out; CloseSocket from any thread
// ends a blocked exchange at once. Results, never exceptions.
#pragma once

#include <memory>
#include <string>

#include "platform/export.h"

class BREVANTA_EXPORT CMorvic {
 public:
  CMorvic();
  ~CMorvic();
  CMorvic(const CMorvic&) = delete;
  CMorvic& operator=(const CMorvic&) = delete;

  // Creates the TCP socket. Non-zero on success; 0 after CloseSocket.
  int Socket();
  // Connects to a host name or dotted address; the wait is bounded by the
  // receive time-out. Non-zero when connected.
  int Connect(wchar_t* server, int port);
  // kind 0: receive time-out, kind 1: send time-out, both in seconds (> 0).
  // Non-zero when accepted.
  int SetTimeout(int seconds, int kind);
  // Prepares "GET <object> HTTP/1.1" for server. The object is sent exactly as
  // given; the Host field names the port once connected. The other arguments
  // are accepted and unused: only body-less GETs are made. Returns the request
  // text (length in `length`), or null for an empty server or object, or one
  // holding a control character.
  const char* FormatRequestHeader(wchar_t* server, wchar_t* object, long& length, wchar_t* headers,
                                  wchar_t* data, long data_length, long flags, int reserved);
  // Sends the prepared request and reads the status line and header fields.
  // The arguments are unused. Non-zero on success. An unread rest of the
  // previous body is skipped first; after any failure the connection carries
  // no further request.
  int SendRequest(const wchar_t* extra, long extra_length);
  // Status code of the last response, 0 when there is none.
  int GetServerState();
  // Value of a header field of the last response (name without regard to
  // case), empty when absent.
  std::wstring GetField(const wchar_t* name);
  // Up to size body bytes of the last response. Count placed, 0 at the end of
  // the body or when the server closed early, -1 on time-out or error.
  int SelectRcv(char* buffer, int size);
  // Closes the connection so that an exchange blocked on another thread
  // returns; the object serves no further request. Non-zero when a socket
  // existed.
  int CloseSocket();
  // Dotted local address of the connection, empty when not connected.
  std::wstring GetLocalIP();

  std::string m_strWanIP;  // public address as the authentication server saw it
  int m_nDriftRange = 0;   // port-drift value

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
