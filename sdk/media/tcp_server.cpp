#include "media/tcp_server.h"

namespace velmo {
namespace {

constexpr int kAcceptWaitMs = 1000;

}  // namespace

CTCPServer_CE::CTCPServer_CE() {
  platform::net_startup();
}

CTCPServer_CE::~CTCPServer_CE() {
  // A derived class has stopped already; this catches direct users.
  m_hQuit.set();
  if (m_sock) platform::shutdown_socket(m_sock.get());
  m_hThread.join();
  platform::net_cleanup();
}

int CTCPServer_CE::Start(int port) {
  Stop();
  std::lock_guard lock(m_stopMutex);
  m_nAcceptCount = 0;
  if (port < 0 || port > 65535) return 0;
  platform::Socket s(platform::tcp_socket());
  if (!s || !platform::set_reuse_addr(s.get(), true) ||
      !platform::bind_socket(s.get(), {0, static_cast<std::uint16_t>(port)}) ||
      !platform::listen_socket(s.get(), 8) || !platform::set_nonblocking(s.get(), true))
    return 0;
  const auto local = platform::local_address(s.get());
  if (!local) return 0;
  m_sock = std::move(s);
  m_nPort = local->port;
  m_hQuit.reset();
  if (!m_hThread.create([this] { AcceptLoop(); })) {
    m_sock.reset();
    m_nPort = -1;
    return 0;
  }
  m_hThread.resume();
  return 1;
}

int CTCPServer_CE::GetPort() {
  return m_sock ? m_nPort : -1;
}

void CTCPServer_CE::OnError(int) {}

int CTCPServer_CE::Stop() {
  std::lock_guard lock(m_stopMutex);
  m_hQuit.set();
  if (m_sock) platform::shutdown_socket(m_sock.get());
  // The thread checks the quit event after every wait: an orderly end.
  if (!m_hThread.is_current()) m_hThread.join();
  m_sock.reset();
  m_nPort = -1;
  return 1;
}

void CTCPServer_CE::AcceptLoop() {
  const SOCKET s = m_sock.get();
  while (!m_hQuit.is_set()) {
    const int w = platform::wait_readable(s, kAcceptWaitMs);
    if (m_hQuit.is_set()) break;
    if (w < 0) {
      OnError(-1);
      break;
    }
    if (w > 0) OnAccept();
  }
}

CRtcpListener::~CRtcpListener() {
  Stop();
}

void CRtcpListener::OnAccept() {
  platform::Socket s(platform::accept_socket(ListenSocket()));
  if (!s) return;
  std::lock_guard lock(m_mutex);
  if (m_nAcceptCount >= 2) return;  // a third connection is closed at once
  platform::set_nonblocking(s.get(), false);
  if (m_nAcceptCount == 0) {
    // A new round: nothing of an earlier one may be taken for it.
    m_hControlEvent.reset();
    m_hStreamEvent.reset();
    m_sockStream.reset();
    m_sockControl = std::move(s);
    ++m_nAcceptCount;
    m_hControlEvent.set();
  } else {
    m_sockStream = std::move(s);
    ++m_nAcceptCount;
    m_hStreamEvent.set();
  }
}

void CRtcpListener::OnError(int) {
  // The accept thread itself: closing the socket is enough, Stop joins later.
}

int CRtcpListener::Stop() {
  const int r = CTCPServer_CE::Stop();
  std::lock_guard lock(m_mutex);
  m_sockControl.reset();
  m_sockStream.reset();
  m_hControlEvent.reset();
  m_hStreamEvent.reset();
  return r;
}

int CRtcpListener::AcceptedCount() const {
  std::lock_guard lock(m_mutex);
  return m_nAcceptCount;
}

SOCKET CRtcpListener::TakeNow(platform::Socket& slot) {
  std::lock_guard lock(m_mutex);
  return slot.release();
}

int RtcpChannelListener::Start(int port) {
  const int r = m_listener.Start(port) ? m_listener.GetPort() : -1;
  m_port.store(r);
  return r;
}

void RtcpChannelListener::Stop() {
  m_listener.Stop();
  m_port.store(-1);
}

std::unique_ptr<ChannelListener> make_rtcp_listener() {
  return std::make_unique<RtcpChannelListener>();
}

}  // namespace velmo
