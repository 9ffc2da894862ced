// CUDP_CE: a UDP socket with its own receive thread that registers with a
// rendezvous (p2p) server, learns the public address of a device and punches a
// path to it with heart beats. Once the device answers, the socket is handed to
// the caller, who uses it for the media dialogue.
//
// Results, not exceptions. The unsigned long results carry -1, -2, -3 as
// unsigned 32-bit values (0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD).
//
// Every fixed wait ends early on CancelMakeHole or Close: Close returns
// promptly whatever phase punching is in, from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/export.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "platform/types.h"

struct sockaddr;

class BREVANTA_EXPORT CUDP_CE {
 public:
  // The lengths of the fixed waits; the defaults are the production values,
  // tests shorten them. Set before Open (the receive thread reads pollMs).
  struct Timing {
    int registerRounds = 5;      // P2P_REGISTER sends
    int registerWaitMs = 400;    // one sleep while waiting for the server
    int registerWaitSteps = 10;  // sleeps per round at most
    int addressedPauseMs = 300;  // after every addressed send
    int plainPauseMs = 10;       // after every send to the default destination
    int pollMs = 1000;           // receive thread's readiness wait
  };

  static constexpr unsigned long kFailStartup = 0xFFFFFFFFul;  // also: send failed
  static constexpr unsigned long kFailSocket = 0xFFFFFFFEul;   // also: clean-up failed
  static constexpr unsigned long kFailBind = 0xFFFFFFFDul;

  CUDP_CE();
  // Stops the receive thread and closes the socket if the owner did not Close.
  ~CUDP_CE();
  // Copies the values (parameters, addresses, ports, session, counts and the
  // socket handle); the receive thread stays with the object that opened it.
  CUDP_CE& operator=(const CUDP_CE& other);

  // Binds localPort on any address (0: any port) and starts the receive
  // thread; a remote address becomes the default destination. 1, or -1
  // (start-up), -2 (socket), -3 (bind).
  unsigned long Open(void* user, int localPort, const wchar_t* remoteIp, int remotePort);
  // Ends any state: wakes every wait, stops the thread, closes the socket.
  // 1; -1 when there was no socket to close (not opened, already closed), -2
  // when the network clean-up failed.
  unsigned long Close();

  int Setp2pSvrInfo(const wchar_t* ip, int port);
  int Setp2pSvrInfo(const char* ip, int port);
  int GetP2pSvrInfo(char* dst, int size, int* port);
  int GetP2pInfo(char* dst, int size, int* port);
  void SetMakeHoleInterval(int ms);
  void SetMakeHoleMaxTry(int n);
  // Registers, waits for the peer's address, punches. The socket on success
  // (the receive thread has ended, the caller reads the socket from now on),
  // else INVALID_SOCKET. length is not used: randomValue ends at its NUL.
  unsigned int P2PMakeHole(unsigned long sessionId, const char* randomValue, int length,
                           int portRange);
  void CancelMakeHole();
  unsigned int GetP2pSocket();
  int GetRandomValue(char* dst, int size);
  unsigned long GetSessionId();
  int GetLocalPort();
  unsigned long SendData(const char* data, int len);
  unsigned long SendData(const char* data, int len, const char* ip, int port);
  unsigned long SendData(const char* data, int len, const wchar_t* ip, int port);
  int SendHeartBeat(const wchar_t* ip, int port);
  // Answers to the recorded peer address and peer port (the arguments are not used).
  int SendHeartBeatBack(const wchar_t* ip, int port);
  int IsHeartBeatBack(char* data, int len);
  static unsigned long RecvThread(void* self);
  void OnUdpCERecv(void* user, char* data, unsigned long len, sockaddr* from);
  void OnUdpCEError(void* user, int error);

  void SetTiming(const Timing& timing) { m_timing = timing; }
  const Timing& GetTiming() const { return m_timing; }

 protected:
  platform::Thread m_hThread;
  int m_nMakeHoleInterval;
  int m_nMakeHoleMaxTry;
  std::atomic<unsigned int> m_hSocket;
  platform::SockAddr m_addrDefault;
  bool m_bHasDefault;
  platform::StopSignal m_sigStop;  // ends the receive thread
  void* m_pUser;
  char m_szRecvBuf[4096];
  int m_nLocalPort;
  char m_szP2pSvrIP[20];
  std::atomic<int> m_nP2pSvrPort;
  char m_szPeerIP[20];
  std::atomic<int> m_nPeerPort;
  std::atomic<int> m_bSvrAnswered;
  std::atomic<std::uint32_t> m_dwSessionId;  // host order; big-endian on the wire
  std::atomic<int> m_nHeartBeatBack;
  char m_szRandomValue[32];
  std::atomic<int> m_bCancel;

  Timing m_timing;

 private:
  bool Cancelled() const { return m_bCancel.load() || m_bClosing.load(); }
  template <class Pred>
  void WaitUntil(int ms, Pred done);
  void StopReceiver(bool wake_socket);
  // False when the network clean-up failed.
  bool CloseHandle();
  void RecvLoop();
  std::string PeerIP();
  unsigned long SendAll(const char* data, int len, const platform::SockAddr& to, int pause_ms);

  mutable std::mutex m_lock;                   // the address and random-value texts
  std::mutex m_sockLock;                       // closing or shutting down the handle
  std::mutex m_threadLock;                     // joining the receive thread
  platform::StopSignal m_sigAbort;             // wakes send pauses on cancel or close
  platform::Event m_evProgress{false, false};  // server answer, heart-beat answer, cancel
  platform::Event m_evIdle{true, true};        // no P2PMakeHole running
  std::atomic<bool> m_bMakingHole{false};
  std::atomic<bool> m_bClosing{false};
  std::atomic<bool> m_bOpen{false};
  bool m_bNetStarted = false;
};
