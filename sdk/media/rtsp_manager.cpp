#include "media/rtsp_manager.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "control/request.h"
#include "media/advanced_cfg.h"
#include "media/live_channel.h"
#include "media/p2p_registry.h"
#include "media/rtsp_answer.h"
#include "media/tcp_server.h"
#include "pellin/pellin.h"
#include "platform/net.h"
#include "platform/process.h"
#include "platform/window.h"
#include "tarvic/tarvic.h"
#include "velmosdk.h"
#include "velmosdk_p2p.h"

namespace velmo {
namespace {

constexpr int kStreamAcceptMs = 10000;  // the device's second connection
constexpr int kTearDownAnswerMs = 300;  // TEARDOWN's answer, for the log only
// An idle control path looks at the stream's end and the caller's PTZ this
// often; the stop and the stream's end wake it sooner.
constexpr int kIdleWakeMs = 1000;
constexpr int kAddrQueryTries = 6;
constexpr int kAddrQueryWaitMs = 2000;

std::int64_t since(std::uint64_t t) {
  return static_cast<std::int64_t>(platform::tick_ms64() - t);
}

// Milliseconds until `after` ms have passed since t (0 when they have).
int until(std::uint64_t t, std::int64_t after) {
  return static_cast<int>(std::max<std::int64_t>(0, after - since(t)));
}

bool is_client_initiated(const std::string& type) {
  return type == "client-monitor-direct" || type == "client-monitor-middle-transfer";
}

// A 32-bit value whose bytes in memory are the session id in network order.
unsigned long network_order(std::uint32_t v) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                             static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  std::uint32_t out;
  std::memcpy(&out, b, 4);
  return out;
}

}  // namespace

CRtspManger::CRtspManger(ChannelInfo* channel) : m_pChannel(channel) {}

CRtspManger::~CRtspManger() {
  m_quit.stop();
  m_bStop.stop();
  m_hEvent.set();
  {
    std::lock_guard lock(m_punchMutex);
    if (m_pPunching) m_pPunching->CancelMakeHole();
  }
  JoinThread();
  Cleanup();
}

void CRtspManger::Resume() {
  m_hEvent.set();
  ResumeThread();
}

void CRtspManger::SetP2pTarget(const char* peerIP, int p2pPort, const char* p2pIP, SOCKET sock,
                               int peerPort) {
  m_sock = sock;
  m_strPeerIP = peerIP ? peerIP : "";
  m_nPeerPort = peerPort;
  m_strP2pSvrIP = p2pIP ? p2pIP : "";
  m_nP2pSvrPort = p2pPort;
}

std::string CRtspManger::SessionUrl() const {
  return "rtsp://" + m_strPeerIP + ":" + std::to_string(m_nPeerPort) + "/" + m_strRandomValue +
         "-" + std::to_string(m_nSessionId) + ".264";
}

void CRtspManger::ReadUdpSettings() {
  media::UdpSettings s;
  s.hole_max_try = m_pChannel ? m_pChannel->m_nP2pRepeat : m_nHoleMaxTry;
  s.hole_interval = m_pChannel ? m_pChannel->m_nP2pOvertime : m_nHoleInterval;
  const std::filesystem::path base = m_strSettingsBase.empty()
                                         ? platform::program_dir()
                                         : std::filesystem::path(m_strSettingsBase);
  media::read_udp_settings(media::settings_folder(base, m_strTel), s);
  m_nHoleMaxTry = s.hole_max_try;
  m_nHoleInterval = s.hole_interval;
  m_nRtcpHbInterval = s.rtcp_hb_interval;
  m_nRtcpTimeOut = s.rtcp_timeout;
  m_nRtpHbInterval = s.rtp_hb_interval;
  m_nRtpTimeOut = s.rtp_timeout;
  m_nLostFrameProc = s.lost_frame_proc;
  m_nFrameSliceInterval = s.frame_slice_interval;
}

void CRtspManger::ReadTcpSettings() {
  media::TcpSettings s{m_nRtcpTimeOut, m_nConnectTimeOut, m_nAcceptTimeOut};
  const std::filesystem::path base = m_strSettingsBase.empty()
                                         ? platform::program_dir()
                                         : std::filesystem::path(m_strSettingsBase);
  media::read_tcp_settings(media::settings_folder(base, m_strTel), s);
  m_nRtcpTimeOut = s.rtsp_timeout;
  m_nConnectTimeOut = s.connect_timeout;
  m_nAcceptTimeOut = s.accept_timeout;
}

void CRtspManger::Run() {
  if (m_bStop.stopped()) return;
  // A device that connects back brings its own socket; a P2P path is made
  // here: only the two client-initiated types need the socket handed over.
  if (is_client_initiated(m_strConnectType) && m_sock == INVALID_SOCKET) return;
  if (m_nTransport == 0) {
    ReadUdpSettings();
    RunP2p();
    return;
  }
  ReadTcpSettings();
  RunTcp();
  Cleanup();
  if (m_nState.load() != kStateTornDown && !Quit()) {
    PostMessage(m_hWnd, WM_USER, NOTIFY_SESSION_LOST, 0);
    if (m_pChannel) {
      if (m_nReconnectDelay > 0 && !m_quit.sleep_for(m_nReconnectDelay)) return;
      RestartChannel(false);
    }
  }
}

void CRtspManger::Cleanup() {
  m_bStop.stop();
  m_hEvent.set();
  {
    std::lock_guard lock(m_streamMutex);
    m_pStream.reset();
  }
  std::lock_guard lock(m_ctrlMutex);
  if (m_bP2pRegistered) {
    ReleaseP2pSocket(m_sock);
    m_bP2pRegistered = false;
    m_sock = INVALID_SOCKET;
  } else if (m_nTransport == 1) {
    platform::close_socket(m_sock);
    m_sock = INVALID_SOCKET;
  }
  platform::close_socket(m_sockStream);
  m_sockStream = INVALID_SOCKET;
  m_bCtrlConnected = false;
  m_pRtsp.reset();
}

void CRtspManger::RestartChannel(bool p2p_failed) {
  if (!m_pChannel) return;
  restart_channel(*m_pChannel, p2p_failed, [this] { return Quit(); });
}

// ---- TCP ----

bool CRtspManger::ConnectControl() {
  if (m_strConnectType == "monitor-client-direct") {
    if (!m_pListener) return false;
    const SOCKET s =
        m_pListener->TakeControl(m_nAcceptTimeOut, [this] { return m_bStop.stopped(); });
    if (s == INVALID_SOCKET) return false;
    std::lock_guard lock(m_ctrlMutex);
    m_sock = s;
    m_bCtrlConnected = true;
    return true;
  }
  const auto ip = platform::parse_dotted(m_strPeerIP);
  if (!ip || m_nPeerPort <= 0 || m_nPeerPort > 65535) return false;
  const platform::SockAddr to{*ip, static_cast<std::uint16_t>(m_nPeerPort)};
  if (platform::connect_until(m_sock, to, std::max(0, m_nConnectTimeOut), m_bStop) !=
      platform::ConnectResult::connected)
    return false;
  // The caller's socket may have come non-blocking; the session reads it blocking.
  platform::set_nonblocking(m_sock, false);
  std::lock_guard lock(m_ctrlMutex);
  m_bCtrlConnected = true;
  return true;
}

// Reads an answer header byte by byte (nothing past it is taken from the
// connection), up to its blank line or 1024 bytes, within timeout_ms. Ended by
// m_quit, not m_bStop: TearDown must end this wait, which holds the connection,
// without waking the keep-alive loop; a stop from outside sets both.
bool CRtspManger::ReadAnswer(std::string& header, int timeout_ms) {
  header.clear();
  const std::uint64_t start = platform::tick_ms64();
  while (header.size() < media::kMaxAnswerHeader) {
    if (platform::wait_readable(m_sock, until(start, timeout_ms), m_quit) != 1) return false;
    char c;
    const int n = platform::recv_some(m_sock, &c, 1);
    if (n <= 0) return false;
    header.push_back(c);
    if (header.size() >= 4 && header.compare(header.size() - 4, 4, "\r\n\r\n") == 0) return true;
  }
  return true;
}

bool CRtspManger::PlayTcp() {
  m_hEvent.reset();
  std::unique_lock lock(m_ctrlMutex);
  if (is_client_initiated(m_strConnectType)) {
    m_sockStream = platform::tcp_socket();
    if (m_sockStream == INVALID_SOCKET) return false;
    m_strLocalIP.clear();  // the stream socket is not bound yet
    m_nLocalPort = 0;
  } else {
    const auto local = platform::local_address(m_sock);
    m_strLocalIP = local ? local->ip_text() : std::string();
    m_nLocalPort = m_pChannel && m_pChannel->m_pListener ? m_pChannel->m_pListener->Port() : 0;
  }
  if (!m_pRtsp) m_pRtsp = std::make_unique<CTarvic>();
  const std::wstring url = wide(SessionUrl());
  m_pRtsp->Socket(m_sock);
  m_pRtsp->m_bConnected = 1;
  const bool formatted =
      m_pRtsp->FormatRequestHeader(4, url.c_str(), static_cast<std::uint32_t>(m_nSessionId),
                                   wide(m_strLocalIP).c_str(), m_nLocalPort) != nullptr;
  const bool sent = formatted && m_pRtsp->SendRequest_WithoutBack(nullptr, 0) == 1;
  m_pRtsp->DetachSocket();
  if (!sent) return false;
  std::string header;
  if (!ReadAnswer(header, m_nRtcpTimeOut)) return false;
  const auto answer = media::parse_tcp_play_answer(header);
  if (!answer) return false;
  m_nStreamPort = answer->stream_port;
  m_nMagic = answer->magic;
  m_nStreamSession = answer->stream_session;
  lock.unlock();

  {
    std::lock_guard slock(m_streamMutex);
    m_pStream.reset();
  }
  if (m_strConnectType == "monitor-client-direct") {
    const SOCKET s = m_pListener->TakeStream(kStreamAcceptMs, [this] { return m_bStop.stopped(); });
    if (s == INVALID_SOCKET) return false;
    m_sockStream = s;
    const auto local = platform::local_address(s);
    m_strLocalIP = local ? local->ip_text() : std::string();
    m_nLocalPort = 0;
  }
  StartStream(MakeStream(1));
  Resume();
  return true;
}

std::unique_ptr<CRtpStreamManager> CRtspManger::MakeStream(int mode) {
  auto stream = std::make_unique<CRtpStreamManager>(this);
  stream->m_nMode = mode;
  stream->m_strConnectType = m_strConnectType;
  stream->SetStreamSocket(std::exchange(m_sockStream, INVALID_SOCKET));
  stream->m_sockCtrl = m_sock;
  stream->m_nMagic = m_nMagic;
  stream->m_nSessionId = m_nStreamSession;
  stream->SetAddress(m_strLocalIP.c_str(), m_nLocalPort, m_strPeerIP.c_str(), m_nStreamPort);
  stream->m_nTimeOut = m_nRtpTimeOut;
  stream->m_nHbInterval = m_nRtpHbInterval;
  stream->m_strTel = m_strTel;
  stream->m_hWnd = m_hWnd;
  stream->m_nPlayPort = m_nPlayPort;
  stream->m_decoderLimits = m_decoderLimits;
  return stream;
}

void CRtspManger::StartStream(std::unique_ptr<CRtpStreamManager> stream) {
  {
    std::lock_guard lock(m_streamMutex);
    m_pStream = std::move(stream);
    if (!m_strPendingRecord.empty()) m_pStream->StartRecord(std::exchange(m_strPendingRecord, {}));
    m_pStream->ResumeThread();
  }
  m_nState.store(kStatePlaying);
}

void CRtspManger::RunTcp() {
  if (!m_pRtsp) m_pRtsp = std::make_unique<CTarvic>();
  if (!ConnectControl() || m_bStop.stopped()) return;
  if (!PlayTcp()) return;
  std::array<char, 2048> sink{};
  while (!m_bStop.stopped()) {
    {
      std::lock_guard slock(m_streamMutex);
      if (!m_pStream || m_pStream->Ended()) break;
    }
    // Others reset the event while they use the connection.
    if (!m_hEvent.wait(kIdleWakeMs)) continue;
    m_hEvent.set();
    // The stream receiver shuts the connection down when the stream ends.
    const int w = platform::wait_readable(m_sock, kIdleWakeMs, m_bStop);
    if (w < 0) break;
    if (w == 0) continue;
    std::unique_lock lock(m_ctrlMutex, std::try_to_lock);
    if (!lock.owns_lock()) continue;
    if (platform::wait_readable(m_sock, 0) <= 0) continue;
    const int n = platform::recv_some(m_sock, sink.data(), static_cast<int>(sink.size()));
    if (n <= 0 && !(n < 0 && platform::would_block())) break;
  }
}

int CRtspManger::SendPtzCommand(const std::string& content, int channel) {
  m_hEvent.reset();
  int result = 0;
  if (!content.empty() && m_nTransport == 1) {
    std::unique_lock lock(m_ctrlMutex, std::chrono::milliseconds(500));
    if (lock.owns_lock() && m_bCtrlConnected && m_sock != INVALID_SOCKET) {
      const std::string body = "command: ptz-control\r\nchan: " + std::to_string(channel) +
                               "\r\nlength: " + std::to_string(content.size()) +
                               "\r\ncontent: " + content;
      if (!m_pRtsp) m_pRtsp = std::make_unique<CTarvic>();
      m_pRtsp->Socket(m_sock);
      m_pRtsp->m_bConnected = 1;
      const std::wstring url = wide(SessionUrl());
      const std::wstring wbody = wide(body);
      if (m_pRtsp->FormatSetParamRequestHeader(url.c_str(), wbody.c_str()) &&
          m_pRtsp->SendRequest_WithoutBack(nullptr, 0) == 1) {
        m_nState.store(kStatePtzSent);
        result = 1;
      }
      m_pRtsp->DetachSocket();
    }
  }
  m_hEvent.set();
  return result;
}

int CRtspManger::TearDown() {
  m_nState.store(kStateTornDown);
  // Ends a PLAY answer wait (it holds the connection) and the reconnect delay.
  // The keep-alive loop and the stream go on until the TEARDOWN is through:
  // woken first, the session would shut the connection down under it.
  m_quit.stop();
  int result = 0;
  if (m_nTransport == 1 && !m_bTearDownSent.exchange(true)) result = SendTearDown();
  m_bStop.stop();
  m_hEvent.set();
  {
    std::lock_guard lock(m_punchMutex);
    if (m_pPunching) m_pPunching->CancelMakeHole();
  }
  return result;
}

int CRtspManger::SendTearDown() {
  m_hEvent.reset();  // the keep-alive loop leaves the answer to us
  std::unique_lock lock(m_ctrlMutex, std::chrono::milliseconds(500));
  // Before the connection is up there is nothing to tear down on the device.
  if (!lock.owns_lock() || !m_bCtrlConnected || m_sock == INVALID_SOCKET) return 0;
  if (!m_pRtsp) m_pRtsp = std::make_unique<CTarvic>();
  m_pRtsp->Socket(m_sock);
  m_pRtsp->m_bConnected = 1;
  const std::wstring url = wide(SessionUrl());
  const bool sent =
      m_pRtsp->FormatTearDownRequestHeader(url.c_str(), static_cast<std::uint32_t>(m_nSessionId)) &&
      m_pRtsp->SendRequest_WithoutBack(nullptr, 0) == 1;
  m_pRtsp->DetachSocket();
  if (!sent) return 0;
  // For the log only: a short wait that only its time limit ends.
  std::string header;
  const std::uint64_t start = platform::tick_ms64();
  while (header.size() < media::kMaxAnswerHeader) {
    if (platform::wait_readable(m_sock, until(start, kTearDownAnswerMs)) != 1) break;
    char c;
    if (platform::recv_some(m_sock, &c, 1) <= 0) break;
    header.push_back(c);
    if (media::answer_header_end(header)) break;
  }
  return media::answer_status(header) == 200 ? 1 : 0;
}

// ---- P2P ----

bool CRtspManger::Punch() {
  std::shared_ptr<CUDP_CE> object = std::make_shared<CUDP_CE>();
  object->SetTiming(p2p_timing());
  if (object->Open(nullptr, 0, nullptr, 0) != 1) return false;
  object->Setp2pSvrInfo(m_strP2pSvrIP.c_str(), m_nP2pSvrPort);
  object->SetMakeHoleInterval(m_nHoleInterval);
  object->SetMakeHoleMaxTry(m_nHoleMaxTry);
  {
    std::lock_guard lock(m_punchMutex);
    m_pPunching = object;
  }
  unsigned int s = INVALID_SOCKET;
  // UdpMakeHole's punching, with a handle that teardown can cancel.
  if (!m_bStop.stopped())
    s = object->P2PMakeHole(static_cast<std::uint32_t>(m_nSessionId), m_strRandomValue.c_str(),
                            static_cast<int>(m_strRandomValue.size()), 0);
  {
    std::lock_guard lock(m_punchMutex);
    m_pPunching.reset();
  }
  if (s == INVALID_SOCKET || m_bStop.stopped()) {
    object->Close();
    return false;
  }
  p2p_add(object);
  std::lock_guard lock(m_ctrlMutex);
  m_sock = s;
  m_bP2pRegistered = true;
  return true;
}

bool CRtspManger::PublicAddress(SOCKET s, std::string& ip, int& port) {
  const auto server = platform::parse_dotted(m_strP2pSvrIP);
  if (!server || m_nP2pSvrPort <= 0 || m_nP2pSvrPort > 65535) return false;
  const platform::SockAddr to{*server, static_cast<std::uint16_t>(m_nP2pSvrPort)};
  const std::array<std::uint8_t, 4> query{0, 0, 1, 7};
  for (int i = 0; i < kAddrQueryTries && !m_bStop.stopped(); ++i) {
    if (platform::send_to(s, std::as_bytes(std::span(query)), to) != 4) continue;
    const int w = platform::wait_readable(s, kAddrQueryWaitMs, m_bStop);
    if (w < 0) return false;
    if (w == 0) continue;
    std::array<std::uint8_t, 12> answer{};
    platform::SockAddr from;
    const int n = platform::recv_from(s, std::as_writable_bytes(std::span(answer)), &from);
    if (n < 0 || from.ip != to.ip) return false;
    if (n < 10) return false;
    platform::SockAddr pub{
        static_cast<std::uint32_t>(answer[4] << 24 | answer[5] << 16 | answer[6] << 8 | answer[7]),
        static_cast<std::uint16_t>(answer[8] << 8 | answer[9])};
    ip = pub.ip_text();
    port = pub.port;
    return true;
  }
  return false;
}

// One datagram of the control path; false when the session must end.
bool CRtspManger::HandleP2pDatagram(const char* data, int n, std::uint64_t& last_answer) {
  if (n == 8) {
    if (IsHeartBeatBack_RTCP(m_sock, const_cast<char*>(data), 8, 0)) {
      last_answer = platform::tick_ms64();
      return true;
    }
    const std::wstring peer = wide(m_strPeerIP);
    return SendHeartBeatBack_RTP(m_sock, peer.c_str(), m_nPeerPort,
                                 network_order(static_cast<std::uint32_t>(m_nSessionId))) == 1;
  }
  const std::string_view text(data, static_cast<std::size_t>(n));
  if (text.find("RTSP/1.0") == std::string_view::npos) return true;
  m_strResponse.assign(text);
  if (const auto a = media::parse_udp_play_answer(text)) {
    m_nStreamPort = a->stream_port;
    m_nMagic = a->magic;
    m_nStreamSession = a->stream_session;
    m_bGotReply = 1;
  }
  return true;
}

bool CRtspManger::PlayUdp() {
  char peer_ip[64] = {};
  if (!m_bP2pRegistered || !GetRemoteIP(m_sock, peer_ip, sizeof peer_ip)) return false;
  const int peer_port = GetRemotePort(m_sock);
  if (peer_port <= 0) return false;
  m_strPeerIP = peer_ip;
  m_nPeerPort = peer_port;
  const auto peer_addr = platform::parse_dotted(m_strPeerIP);
  if (!peer_addr) return false;
  const platform::SockAddr peer{*peer_addr, static_cast<std::uint16_t>(m_nPeerPort)};

  platform::Socket stream(platform::udp_socket());
  if (!stream || !platform::bind_socket(stream.get(), {0, 0})) return false;
  if (!PublicAddress(stream.get(), m_strLocalIP, m_nLocalPort)) return false;
  m_sockStream = stream.release();

  const std::string request = "PLAY " + SessionUrl() +
                              " RTSP/1.0\r\nCSeq:2\r\nTransport: ip=" + m_strLocalIP +
                              "; port=" + std::to_string(m_nLocalPort) +
                              "; protocol=udp\r\nUser-Agent: Kol Mobile(v1.0)\r\n\r\n";
  auto send_request = [&] {
    return platform::send_to(m_sock, request.data(), static_cast<int>(request.size()), peer) > 0;
  };
  if (!send_request()) return false;
  std::array<char, 2048> buf{};
  const int round_ms = std::max(1, m_nRtcpTimeOut / 5);
  std::uint64_t unused = 0;
  for (int counter = 1; counter < 10 && !m_bGotReply; ++counter) {
    const int w = platform::wait_readable(m_sock, round_ms, m_bStop);
    if (w < 0) return false;
    if (w == 0) {
      if (!send_request()) return false;
      ++counter;
      continue;
    }
    platform::SockAddr from;
    const int n = platform::recv_from(m_sock, buf.data(), static_cast<int>(buf.size()), &from);
    if (n < 0) {
      if (platform::would_block()) continue;
      return false;
    }
    if (!HandleP2pDatagram(buf.data(), n, unused)) return false;
  }
  if (!m_bGotReply) return false;

  auto receiver = MakeStream(0);
  receiver->m_nHoleMaxTry = m_nHoleMaxTry;
  receiver->m_nHoleInterval = m_nHoleInterval;
  StartStream(std::move(receiver));
  return true;
}

void CRtspManger::RunP2p() {
  const bool punched = Punch();
  if (!punched || !PlayUdp()) {
    Cleanup();
    if (!Quit() && m_nState.load() != kStateTornDown) RestartChannel(true);
    return;
  }
  std::array<char, 2048> buf{};
  std::uint64_t last_answer = platform::tick_ms64();
  std::uint64_t last_hb = last_answer;
  const std::wstring peer = wide(m_strPeerIP);
  bool timed_out = false;
  while (!m_bStop.stopped()) {
    if (since(last_answer) > m_nRtcpTimeOut) {
      timed_out = true;
      break;
    }
    if (since(last_hb) > m_nRtcpHbInterval) {
      SendHeartBeat_RTCP(m_sock, peer.c_str(), m_nPeerPort, 0);
      last_hb = platform::tick_ms64();
    }
    {
      std::lock_guard lock(m_streamMutex);
      if (!m_pStream || m_pStream->Ended()) break;
    }
    // Until the next heart beat or the time-out is due (both are "more than"
    // their interval), and at least once a second for the stream's end.
    const int wait_ms =
        std::min({until(last_hb, std::int64_t{m_nRtcpHbInterval} + 1),
                  until(last_answer, std::int64_t{m_nRtcpTimeOut} + 1), kIdleWakeMs});
    const int w = platform::wait_readable(m_sock, wait_ms, m_bStop);
    if (w < 0) break;
    if (w == 0) continue;
    platform::SockAddr from;
    const int n = platform::recv_from(m_sock, buf.data(), static_cast<int>(buf.size()), &from);
    if (n < 0) {
      if (platform::would_block()) continue;
      break;
    }
    if (!HandleP2pDatagram(buf.data(), n, last_answer)) break;
  }
  if (timed_out && m_nState.load() != kStateTornDown && !Quit())
    PostMessage(m_hWnd, WM_USER, NOTIFY_P2P_TIMEOUT, 0);
  Cleanup();
}

// ---- stream access from the caller's thread ----

int CRtspManger::StartRecord(const std::string& path) {
  std::lock_guard lock(m_streamMutex);
  if (m_pStream) return m_pStream->StartRecord(path);
  m_strPendingRecord = path;
  return path.empty() ? -1 : 1;
}

int CRtspManger::StopRecord() {
  std::lock_guard lock(m_streamMutex);
  m_strPendingRecord.clear();
  return m_pStream ? m_pStream->StopRecord() : -1;
}

int CRtspManger::BitRate() const {
  std::lock_guard lock(m_streamMutex);
  return m_pStream ? m_pStream->m_nBitRate.load() : 0;
}

bool CRtspManger::HasStream() const {
  std::lock_guard lock(m_streamMutex);
  return m_pStream != nullptr;
}

bool CRtspManger::StreamCounters(std::uint64_t& frames, std::uint64_t& bytes) const {
  std::lock_guard lock(m_streamMutex);
  if (!m_pStream) return false;
  frames = m_pStream->FramesPushed();
  bytes = m_pStream->BytesPushed();
  return true;
}

std::uint64_t CRtspManger::FramesReceived() const {
  std::lock_guard lock(m_streamMutex);
  return m_pStream ? m_pStream->FramesPushed() : 0;
}

}  // namespace velmo
