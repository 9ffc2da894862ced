#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "p2p_datagram.h"
#include "pellin/pellin.h"
#include "platform/sockaddr.h"
#include "platform/text.h"

namespace {

// Address texts hold at most 19 characters.
constexpr std::size_t kAddrMax = 19;

void copy_text(char (&dst)[20], std::string_view text) {
  std::memset(dst, 0, sizeof dst);
  std::memcpy(dst, text.data(), std::min(text.size(), kAddrMax));
}

int copy_out(const char* text, char* dst, int size) {
  const std::size_t len = strnlen(text, kAddrMax + 1);
  if (!dst || size <= 0 || static_cast<std::size_t>(size) <= len) return 0;
  std::memcpy(dst, text, len + 1);
  return 1;
}

std::optional<platform::SockAddr> to_addr(const char* ip, int port) {
  if (!ip || port < 1 || port > 65535) return std::nullopt;
  auto parsed = platform::parse_dotted(ip);
  if (!parsed) return std::nullopt;
  return platform::SockAddr{*parsed, static_cast<std::uint16_t>(port)};
}

// The sender's port from a received address, -1 when it is not IPv4.
int sender_port(const sockaddr* from) {
  if (!from) return -1;
  sockaddr_in sa;
  std::memcpy(&sa, from, sizeof sa);
  if (sa.sin_family != AF_INET) return -1;
  return ntohs(sa.sin_port);
}

}  // namespace

CUDP_CE::CUDP_CE()
    : m_nMakeHoleInterval(1000),
      m_nMakeHoleMaxTry(10),
      m_hSocket(INVALID_SOCKET),
      m_bHasDefault(false),
      m_pUser(nullptr),
      m_szRecvBuf{},
      m_nLocalPort(-1),
      m_szP2pSvrIP{},
      m_nP2pSvrPort(-1),
      m_szPeerIP{},
      m_nPeerPort(-1),
      m_bSvrAnswered(0),
      m_dwSessionId(0xFFFFFFFFu),
      m_nHeartBeatBack(0),
      m_szRandomValue{},
      m_bCancel(0) {}

CUDP_CE::~CUDP_CE() {
  // The thread must not outlive the object it reads, whatever the owner did.
  if (m_bOpen.load()) Close();
}

CUDP_CE& CUDP_CE::operator=(const CUDP_CE& other) {
  if (this == &other) return *this;
  std::scoped_lock lock(m_lock, other.m_lock);
  m_nMakeHoleInterval = other.m_nMakeHoleInterval;
  m_nMakeHoleMaxTry = other.m_nMakeHoleMaxTry;
  m_hSocket = other.m_hSocket.load();
  m_addrDefault = other.m_addrDefault;
  m_bHasDefault = other.m_bHasDefault;
  m_pUser = other.m_pUser;
  m_nLocalPort = other.m_nLocalPort;
  std::memcpy(m_szP2pSvrIP, other.m_szP2pSvrIP, sizeof m_szP2pSvrIP);
  m_nP2pSvrPort = other.m_nP2pSvrPort.load();
  std::memcpy(m_szPeerIP, other.m_szPeerIP, sizeof m_szPeerIP);
  m_nPeerPort = other.m_nPeerPort.load();
  m_bSvrAnswered = other.m_bSvrAnswered.load();
  m_dwSessionId = other.m_dwSessionId.load();
  m_nHeartBeatBack = other.m_nHeartBeatBack.load();
  std::memcpy(m_szRandomValue, other.m_szRandomValue, sizeof m_szRandomValue);
  m_bCancel = other.m_bCancel.load();
  m_timing = other.m_timing;
  return *this;
}

unsigned long CUDP_CE::Open(void* user, int localPort, const wchar_t* remoteIp, int remotePort) {
  if (m_bOpen.load()) return kFailSocket;
  m_pUser = user;
  if (platform::net_startup() != 0) return kFailStartup;
  m_bNetStarted = true;
  auto fail = [&](unsigned long code, SOCKET s) {
    platform::close_socket(s);
    platform::net_cleanup();
    m_bNetStarted = false;
    return code;
  };
  const SOCKET s = platform::udp_socket();
  if (s == INVALID_SOCKET) return fail(kFailSocket, s);
  platform::set_reuse_addr(s, true);
  if (localPort < 0 || localPort > 65535 ||
      !platform::bind_socket(s, {0, static_cast<std::uint16_t>(localPort)}))
    return fail(kFailBind, s);
  platform::set_nonblocking(s, true);

  m_bClosing = false;
  m_sigStop.reset();
  m_sigAbort.reset();
  m_evProgress.reset();
  m_hSocket = s;
  if (!m_hThread.create([this] { RecvThread(this); })) {
    m_hSocket = INVALID_SOCKET;
    return fail(kFailSocket, s);
  }
  m_hThread.resume();
  m_bHasDefault = false;
  if (remoteIp) {
    if (auto to = to_addr(platform::cp936_from_wide(remoteIp).c_str(), remotePort)) {
      m_addrDefault = *to;
      m_bHasDefault = true;
    }
  }
  m_bOpen = true;
  return 1;
}

void CUDP_CE::StopReceiver(bool wake_socket) {
  m_sigStop.stop();
  if (wake_socket) {
    std::lock_guard lock(m_sockLock);
    platform::shutdown_socket(m_hSocket.load());
  }
  std::lock_guard lock(m_threadLock);
  m_hThread.join();
}

bool CUDP_CE::CloseHandle() {
  std::lock_guard lock(m_sockLock);
  const SOCKET s = m_hSocket.exchange(INVALID_SOCKET);
  if (s == INVALID_SOCKET) return true;
  platform::close_socket(s);
  if (!m_bNetStarted) return true;
  m_bNetStarted = false;
  return platform::net_cleanup() == 0;
}

unsigned long CUDP_CE::Close() {
  // A socket that is already gone (never opened, closed twice, or closed by a
  // failed punch) cannot be closed again: that is the caller's failure.
  const bool had_socket = m_hSocket.load() != INVALID_SOCKET;
  m_bClosing = true;
  m_bCancel = 1;
  m_sigAbort.stop();
  m_evProgress.set();
  StopReceiver(true);
  // Every wait of a running P2PMakeHole has just been woken; let it leave
  // before the handle it uses is closed.
  m_evIdle.wait(5000);
  const bool cleaned = CloseHandle();
  m_bOpen = false;
  if (!had_socket) return kFailStartup;
  return cleaned ? 1 : kFailSocket;
}

int CUDP_CE::Setp2pSvrInfo(const wchar_t* ip, int port) {
  if (!ip || port < 1) return 0;
  const std::string narrow = platform::cp936_from_wide(ip);
  if (narrow.size() <= kAddrMax) {
    std::lock_guard lock(m_lock);
    copy_text(m_szP2pSvrIP, narrow);
  }
  m_nP2pSvrPort = port;
  return 1;
}

int CUDP_CE::Setp2pSvrInfo(const char* ip, int port) {
  if (!ip || port < 1 || strnlen(ip, kAddrMax + 1) > kAddrMax) return 0;
  {
    std::lock_guard lock(m_lock);
    copy_text(m_szP2pSvrIP, ip);
  }
  m_nP2pSvrPort = port;
  return 1;
}

int CUDP_CE::GetP2pSvrInfo(char* dst, int size, int* port) {
  std::lock_guard lock(m_lock);
  if (!copy_out(m_szP2pSvrIP, dst, size)) return 0;
  if (port) *port = m_nP2pSvrPort;
  return 1;
}

int CUDP_CE::GetP2pInfo(char* dst, int size, int* port) {
  std::lock_guard lock(m_lock);
  if (!copy_out(m_szPeerIP, dst, size)) return 0;
  if (port) *port = m_nPeerPort;
  return 1;
}

void CUDP_CE::SetMakeHoleInterval(int ms) {
  m_nMakeHoleInterval = ms;
}
void CUDP_CE::SetMakeHoleMaxTry(int n) {
  m_nMakeHoleMaxTry = n;
}

template <class Pred>
void CUDP_CE::WaitUntil(int ms, Pred done) {
  const std::uint64_t deadline = platform::tick_ms64() + static_cast<unsigned>(std::max(ms, 0));
  while (!done() && !Cancelled()) {
    const std::uint64_t now = platform::tick_ms64();
    if (now >= deadline) return;
    m_evProgress.wait(static_cast<int>(std::min<std::uint64_t>(deadline - now, 1u << 30)));
  }
}

std::string CUDP_CE::PeerIP() {
  std::lock_guard lock(m_lock);
  return std::string(m_szPeerIP, strnlen(m_szPeerIP, sizeof m_szPeerIP));
}

unsigned int CUDP_CE::P2PMakeHole(unsigned long sessionId, const char* randomValue, int /*length*/,
                                  int portRange) {
  if (!randomValue) return INVALID_SOCKET;
  if (m_bMakingHole.exchange(true)) return INVALID_SOCKET;  // one run at a time
  m_evIdle.reset();
  struct Leave {
    CUDP_CE* self;
    ~Leave() {
      self->m_bMakingHole = false;
      self->m_evIdle.set();
    }
  } leave{this};
  if (m_bClosing.load() || m_hSocket.load() == INVALID_SOCKET) return INVALID_SOCKET;

  const auto session = static_cast<std::uint32_t>(sessionId);
  m_dwSessionId = session;
  const int svr_port = m_nP2pSvrPort;
  if (svr_port <= 0) return INVALID_SOCKET;
  m_bCancel = 0;
  m_sigAbort.reset();
  if (m_bClosing.load()) return INVALID_SOCKET;  // a Close raced the reset above

  const std::size_t random_len = strnlen(randomValue, pellin::kRandomMax + 1);
  const auto reg = pellin::encode_register(session, std::string_view(randomValue, random_len));
  if (!reg) return INVALID_SOCKET;
  std::string svr_ip;
  {
    std::lock_guard lock(m_lock);
    std::memset(m_szRandomValue, 0, sizeof m_szRandomValue);
    std::memcpy(m_szRandomValue, randomValue, random_len);
    svr_ip.assign(m_szP2pSvrIP, strnlen(m_szP2pSvrIP, sizeof m_szP2pSvrIP));
  }

  // Registration: the server answers both sides with the other's address.
  for (int round = 0; round < m_timing.registerRounds && !Cancelled(); ++round) {
    SendData(reinterpret_cast<const char*>(reg->data()), static_cast<int>(reg->size()),
             svr_ip.c_str(), svr_port);
    if (!m_bSvrAnswered.load())
      WaitUntil(m_timing.registerWaitMs * m_timing.registerWaitSteps,
                [&] { return m_bSvrAnswered.load() != 0; });
  }
  if (!m_bSvrAnswered.load() || m_nPeerPort.load() <= 0) return INVALID_SOCKET;

  // Punching: heart beats to the peer until one is answered.
  const int range = std::clamp(portRange, 0, 65535);
  const auto beat = pellin::encode_heart_beat(pellin::kHeartBeat, session);
  auto answered = [&] { return m_nHeartBeatBack.load() > 0; };
  bool success = false;
  for (int round = 0; round < m_nMakeHoleMaxTry && !Cancelled() && !success; ++round) {
    for (int i = 0; i <= range && !Cancelled(); ++i) {
      const int port = m_nPeerPort.load() + i;
      if (port < 1 || port > 65535) break;
      SendData(reinterpret_cast<const char*>(beat.data()), static_cast<int>(beat.size()),
               PeerIP().c_str(), port);
    }
    for (int step = 0; step < 2 && !Cancelled(); ++step) {
      if ((success = answered())) break;
      WaitUntil(m_nMakeHoleInterval / 2, answered);
    }
  }
  // An answer that came during the last wait still counts.
  if (!Cancelled() && answered()) success = true;

  if (success) {
    StopReceiver(false);  // the caller reads the socket from now on
    return m_hSocket.load();
  }
  StopReceiver(true);
  CloseHandle();
  return INVALID_SOCKET;
}

void CUDP_CE::CancelMakeHole() {
  m_bCancel = 1;
  m_sigAbort.stop();
  m_evProgress.set();
}

unsigned int CUDP_CE::GetP2pSocket() {
  return m_nHeartBeatBack.load() > 0 ? m_hSocket.load() : INVALID_SOCKET;
}

int CUDP_CE::GetRandomValue(char* dst, int size) {
  if (!dst || size < static_cast<int>(sizeof m_szRandomValue) || m_nHeartBeatBack.load() <= 0)
    return 0;
  std::lock_guard lock(m_lock);
  std::memcpy(dst, m_szRandomValue, sizeof m_szRandomValue);
  return 1;
}

unsigned long CUDP_CE::GetSessionId() {
  return m_dwSessionId.load();
}

int CUDP_CE::GetLocalPort() {
  const SOCKET s = m_hSocket.load();
  if (s == INVALID_SOCKET) return -1;
  const auto local = platform::local_address(s);
  if (!local) return -1;
  m_nLocalPort = local->port;
  return m_nLocalPort;
}

unsigned long CUDP_CE::SendAll(const char* data, int len, const platform::SockAddr& to,
                               int pause_ms) {
  const SOCKET s = m_hSocket.load();
  if (s == INVALID_SOCKET || !data || len < 0) return kFailStartup;
  int sent = 0;
  while (sent < len) {
    const int n = platform::send_to(s, data + sent, len - sent, to);
    if (n < 0) return kFailStartup;
    sent += n;
    m_sigAbort.sleep_for(pause_ms);
  }
  return static_cast<unsigned long>(sent);
}

unsigned long CUDP_CE::SendData(const char* data, int len) {
  if (!m_bHasDefault) return kFailStartup;
  return SendAll(data, len, m_addrDefault, m_timing.plainPauseMs);
}

unsigned long CUDP_CE::SendData(const char* data, int len, const char* ip, int port) {
  const auto to = to_addr(ip, port);
  if (!to) return kFailStartup;
  return SendAll(data, len, *to, m_timing.addressedPauseMs);
}

unsigned long CUDP_CE::SendData(const char* data, int len, const wchar_t* ip, int port) {
  if (!ip) return kFailStartup;
  return SendData(data, len, platform::cp936_from_wide(ip).c_str(), port);
}

int CUDP_CE::SendHeartBeat(const wchar_t* ip, int port) {
  const auto beat = pellin::encode_heart_beat(pellin::kHeartBeat, m_dwSessionId.load());
  return SendData(reinterpret_cast<const char*>(beat.data()), 8, ip, port) == 8 ? 1 : 0;
}

int CUDP_CE::SendHeartBeatBack(const wchar_t* /*ip*/, int /*port*/) {
  const auto back = pellin::encode_heart_beat(pellin::kHeartBeatBack, m_dwSessionId.load());
  return SendData(reinterpret_cast<const char*>(back.data()), 8, PeerIP().c_str(),
                  m_nPeerPort.load()) == 8
             ? 1
             : 0;
}

int CUDP_CE::IsHeartBeatBack(char* data, int len) {
  if (!data || len != 8) return 0;
  const auto d = pellin::parse_datagram(
      std::span(reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(len)));
  return d.kind == pellin::Datagram::Kind::heart_beat_back && d.session == m_dwSessionId.load();
}

unsigned long CUDP_CE::RecvThread(void* self) {
  static_cast<CUDP_CE*>(self)->RecvLoop();
  return 0;
}

void CUDP_CE::RecvLoop() {
  const SOCKET s = m_hSocket.load();
  while (!m_sigStop.stopped()) {
    const int ready = platform::wait_readable(s, m_timing.pollMs);
    if (ready < 0) break;
    if (ready == 0 || m_sigStop.stopped()) continue;
    std::memset(m_szRecvBuf, 0, sizeof m_szRecvBuf);
    platform::SockAddr from;
    const int n = platform::recv_from(s, m_szRecvBuf, sizeof m_szRecvBuf, &from);
    if (n < 1) continue;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(from.ip);
    sa.sin_port = htons(from.port);
    OnUdpCERecv(m_pUser, m_szRecvBuf, static_cast<unsigned long>(n),
                reinterpret_cast<sockaddr*>(&sa));
  }
}

void CUDP_CE::OnUdpCERecv(void* /*user*/, char* data, unsigned long len, sockaddr* from) {
  if (!data) return;
  const auto d = pellin::parse_datagram(
      std::span(reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(len)));
  switch (d.kind) {
    case pellin::Datagram::Kind::peer_addr: {
      // From any sender: the server may answer from another address.
      {
        std::lock_guard lock(m_lock);
        copy_text(m_szPeerIP, d.peer.text());
      }
      m_nPeerPort = d.peer.port;
      m_bSvrAnswered = 1;
      m_evProgress.set();
      break;
    }
    case pellin::Datagram::Kind::heart_beat_back: {
      if (d.session != m_dwSessionId.load()) break;
      if (const int port = sender_port(from); port >= 0) m_nPeerPort = port;
      ++m_nHeartBeatBack;
      m_evProgress.set();
      break;
    }
    case pellin::Datagram::Kind::heart_beat: {
      if (d.session != m_dwSessionId.load()) break;
      // The device's NAT may have mapped it to another port: answer there.
      if (const int port = sender_port(from); port >= 0) m_nPeerPort = port;
      SendHeartBeatBack(nullptr, 0);
      break;
    }
    case pellin::Datagram::Kind::none:
      break;
  }
}

void CUDP_CE::OnUdpCEError(void* /*user*/, int /*error*/) {}
