// CTCPServer_CE: a listening TCP server with an accept thread. CRtcpListener:
// the channel's listener for a device that connects back ("monitor-client-
// direct"): the first connection is the control path, the second the stream.
// Each listener has its own quit and accept events, so one channel's accepts
// never wake or block another's.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "frame/user_table.h"
#include "platform/event.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "platform/types.h"

namespace velmo {

class CTCPServer_CE {
 public:
  CTCPServer_CE();
  virtual ~CTCPServer_CE();
  CTCPServer_CE(const CTCPServer_CE&) = delete;
  CTCPServer_CE& operator=(const CTCPServer_CE&) = delete;

  // Stops first, then listens on port (0: the system chooses) and starts the
  // accept thread. 1, or 0 when the socket, bind, listen or thread fails.
  int Start(int port);
  // The bound port (host order), -1 when not listening.
  int GetPort();

  virtual void OnAccept() = 0;
  virtual void OnError(int error);
  // Closes the listening socket and returns once the accept thread is gone.
  virtual int Stop();

 protected:
  SOCKET ListenSocket() const { return m_sock.get(); }
  int m_nAcceptCount = 0;

 private:
  void AcceptLoop();

  int m_nPort = -1;
  platform::Socket m_sock;
  platform::Thread m_hThread;
  platform::Event m_hQuit{false, false};
  std::mutex m_stopMutex;  // Start and Stop against each other
};

class CRtcpListener final : public CTCPServer_CE {
 public:
  CRtcpListener() = default;
  ~CRtcpListener() override;

  void OnAccept() override;
  void OnError(int error) override;
  int Stop() override;

  // Waits up to timeout_ms for the control (first) or stream (second)
  // connection and hands it over (the caller owns it); INVALID_SOCKET on
  // time-out. The wait also ends when abort() turns true, checked every few
  // milliseconds.
  template <class Abort>
  SOCKET TakeControl(int timeout_ms, Abort abort) {
    return Take(m_hControlEvent, m_sockControl, timeout_ms, abort);
  }
  template <class Abort>
  SOCKET TakeStream(int timeout_ms, Abort abort) {
    return Take(m_hStreamEvent, m_sockStream, timeout_ms, abort);
  }
  int AcceptedCount() const;

 private:
  template <class Abort>
  SOCKET Take(platform::Event& ev, platform::Socket& slot, int timeout_ms, Abort abort);
  SOCKET TakeNow(platform::Socket& slot);

  mutable std::mutex m_mutex;  // the two sockets
  platform::Socket m_sockControl;
  platform::Socket m_sockStream;
  platform::Event m_hControlEvent{false, false};
  platform::Event m_hStreamEvent{false, false};
};

template <class Abort>
SOCKET CRtcpListener::Take(platform::Event& ev, platform::Socket& slot, int timeout_ms,
                           Abort abort) {
  constexpr int kSliceMs = 20;
  int waited = 0;
  for (;;) {
    if (abort()) return INVALID_SOCKET;
    if (ev.wait(kSliceMs)) return TakeNow(slot);
    waited += kSliceMs;
    if (waited >= timeout_ms) return INVALID_SOCKET;
  }
}

// The channel's listener as the frame knows it.
class RtcpChannelListener final : public ChannelListener {
 public:
  int Start(int port) override;
  void Stop() override;
  int Port() const override { return m_port.load(); }
  CRtcpListener& listener() { return m_listener; }

 private:
  CRtcpListener m_listener;
  std::atomic<int> m_port{-1};
};

std::unique_ptr<ChannelListener> make_rtcp_listener();

}  // namespace velmo
