#include "media/stream_manager.h"

#include <utility>

#include <algorithm>
#include <array>
#include <vector>

#include "media/frame_format.h"
#include "media/slice_assembler.h"
#include "media/tcp_record_reader.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/window.h"
#include "velmosdk.h"

namespace velmo {
namespace {

constexpr int kStreamConnectMs = 10000;  // connecting the TCP stream socket
constexpr int kPartialStallMs = 10000;   // a record cut off mid-way is dropped
constexpr int kUdpReceive = 15000;

std::array<std::uint8_t, 8> heart_beat(std::uint32_t type, std::uint32_t session) {
  return {static_cast<std::uint8_t>(type >> 24),    static_cast<std::uint8_t>(type >> 16),
          static_cast<std::uint8_t>(type >> 8),     static_cast<std::uint8_t>(type),
          static_cast<std::uint8_t>(session >> 24), static_cast<std::uint8_t>(session >> 16),
          static_cast<std::uint8_t>(session >> 8),  static_cast<std::uint8_t>(session)};
}

bool send_heart_beat(SOCKET s, const platform::SockAddr& to, std::uint32_t type,
                     std::uint32_t session) {
  const auto hb = heart_beat(type, session);
  return platform::send_to(s, std::as_bytes(std::span(hb)), to) == 8;
}

}  // namespace

bool is_heart_beat(std::span<const std::uint8_t> d, std::uint32_t type, std::uint32_t session) {
  return d.size() == 8 && std::equal(d.begin(), d.end(), heart_beat(type, session).begin());
}

CRtpStreamManager::CRtpStreamManager(CRtspManger* owner) : m_pOwner(owner) {}

int CRtpStreamManager::Until(std::uint64_t t, std::int64_t limit_ms) const {
  return static_cast<int>(std::clamp<std::int64_t>(limit_ms - Since(t), 1, 60000));
}

CRtpStreamManager::~CRtpStreamManager() {
  Stop();
  ResumeThread();
  JoinThread();
  platform::close_socket(m_sockStream);
  m_sockStream = INVALID_SOCKET;
  std::lock_guard lock(m_decoderMutex);
  m_pDecoder.reset();
}

int CRtpStreamManager::SetStreamSocket(SOCKET s) {
  if (s == INVALID_SOCKET) return 0;
  platform::set_nonblocking(s, false);
  m_sockStream = s;
  return 1;
}

int CRtpStreamManager::SetAddress(const char* localIp, int localPort, const char* deviceIp,
                                  int devicePort) {
  if (!localIp || !deviceIp || localPort < 0 || devicePort < 0) return 0;
  m_strLocalIP = localIp;
  m_nLocalPort = localPort;
  m_strDevIP = deviceIp;
  m_nDevPort = devicePort;
  return 1;
}

void CRtpStreamManager::Stop() {
  m_bStop.store(1);
  m_bStopRecv.store(1);
  m_stopWake.stop();
  // Wakes a receive wait; the handle stays open until the thread is done.
  std::lock_guard lock(m_sockMutex);
  platform::shutdown_socket(m_sockStream);
}

void CRtpStreamManager::Run() {
  if (m_sockStream != INVALID_SOCKET) {
    if (m_nMode == 0)
      RunUdp();
    else
      RunTcp();
  }
  m_bStop.store(1);
  m_bStopRecv.store(1);
  {
    std::lock_guard lock(m_sockMutex);
    platform::close_socket(m_sockStream);
    m_sockStream = INVALID_SOCKET;
  }
  // Wakes the session's control loop: a dead stream ends the session.
  platform::shutdown_socket(m_sockCtrl);
  {
    std::lock_guard lock(m_decoderMutex);
    m_pDecoder.reset();
  }
  m_bEnded.store(true);
}

bool CRtpStreamManager::PushFrame(std::span<const std::uint8_t> frame) {
  std::lock_guard lock(m_decoderMutex);
  if (!m_pDecoder) {
    m_pDecoder = std::make_unique<CDecoder>(m_hWnd, m_nPlayPort, m_decoderLimits);
    if (!m_strPendingRecord.empty()) m_pDecoder->StartRecord(std::exchange(m_strPendingRecord, {}));
    m_pDecoder->ResumeThread();
  }
  if (!m_pDecoder->Push(frame)) return false;
  ++m_nFramesPushed;
  m_nBytesPushed += frame.size();
  return true;
}

int CRtpStreamManager::StartRecord(const std::string& path) {
  std::lock_guard lock(m_decoderMutex);
  if (!m_pDecoder) {
    // The stream has not brought its first frame yet: the decoder takes it.
    m_strPendingRecord = path;
    return path.empty() ? 0 : 1;
  }
  return m_pDecoder->StartRecord(path) ? 1 : 0;
}

int CRtpStreamManager::StopRecord() {
  std::lock_guard lock(m_decoderMutex);
  m_strPendingRecord.clear();
  if (!m_pDecoder) return -1;
  m_pDecoder->StopRecord();
  return 1;
}

int CRtpStreamManager::MaxQueuedMs() const {
  std::lock_guard lock(m_decoderMutex);
  return m_pDecoder ? m_pDecoder->MaxQueuedMs() : 0;
}

bool CRtpStreamManager::HasDecoder() const {
  std::lock_guard lock(m_decoderMutex);
  return m_pDecoder != nullptr;
}

bool CRtpStreamManager::ConnectStream() {
  const auto ip = platform::parse_dotted(m_strDevIP);
  if (!ip || m_nDevPort <= 0 || m_nDevPort > 65535) return false;
  const platform::SockAddr to{*ip, static_cast<std::uint16_t>(m_nDevPort)};
  return platform::connect_until(m_sockStream, to, kStreamConnectMs, m_stopWake) ==
         platform::ConnectResult::connected;
}

void CRtpStreamManager::RunTcp() {
  if (m_strConnectType != "monitor-client-direct" && !ConnectStream()) return;
  if (Stopped()) return;
  platform::set_recv_buffer(m_sockStream, static_cast<int>(media::kMaxFrameSize));
  PostMessage(m_hWnd, WM_USER, NOTIFY_STREAM_START, 0);
  media::TcpRecordReader reader;
  std::uint64_t last_data = Now();
  std::uint64_t window_start = last_data;
  std::uint64_t window_bytes = 0;
  bool ok = true;
  while (ok && !Stopped()) {
    if (Since(last_data) > m_nTimeOut) break;
    // Until the time-out, or the stall limit of a frame cut off mid-way.
    const int wait_ms = reader.partial_bytes() > 0 ? std::min(Until(last_data, m_nTimeOut + 1),
                                                              Until(last_data, kPartialStallMs + 1))
                                                   : Until(last_data, m_nTimeOut + 1);
    const int w = platform::wait_readable(m_sockStream, wait_ms, m_stopWake);
    if (w < 0) break;
    if (w == 0) {
      if (reader.partial_bytes() > 0 && Since(last_data) > kPartialStallMs) reader.drop_partial();
      continue;
    }
    // Read straight into the reader: frames are pushed from where they landed.
    const int n = platform::recv_some(m_sockStream, std::as_writable_bytes(reader.space()));
    if (n == 0) break;
    if (n < 0) {
      if (platform::would_block()) continue;
      break;
    }
    last_data = Now();
    ok = reader.commit(static_cast<std::size_t>(n), [&](auto frame) {
      window_bytes += frame.size();
      return PushFrame(frame);
    });
    // Measured as data arrives: a silent stream keeps its last value.
    if (last_data - window_start > 1000 && window_bytes > 0) {
      m_nBitRate.store(static_cast<int>(window_bytes * 8 / (last_data - window_start)));
      window_start = last_data;
      window_bytes = 0;
    }
  }
}

bool CRtpStreamManager::Punch() {
  const auto ip = platform::parse_dotted(m_strDevIP);
  if (!ip || m_nDevPort <= 0 || m_nDevPort > 65535) return false;
  const platform::SockAddr to{*ip, static_cast<std::uint16_t>(m_nDevPort)};
  std::array<std::uint8_t, 64> buf{};
  for (int round = 0; round < m_nHoleMaxTry && !Stopped(); ++round) {
    if (!send_heart_beat(m_sockStream, to, kHeartBeat, m_nSessionId)) return false;
    const std::uint64_t start = Now();
    bool round_over = false;
    while (!round_over && !Stopped() && Since(start) < m_nHoleInterval) {
      const int w =
          platform::wait_readable(m_sockStream, Until(start, m_nHoleInterval), m_stopWake);
      if (w < 0) return false;
      if (w == 0) continue;
      platform::SockAddr from;
      const int n =
          platform::recv_from(m_sockStream, std::as_writable_bytes(std::span(buf)), &from);
      if (n != 8) continue;
      const std::span<const std::uint8_t> d(buf.data(), 8);
      if (is_heart_beat(d, kHeartBeatBack, m_nSessionId)) return true;
      if (is_heart_beat(d, kHeartBeat, m_nSessionId)) {
        send_heart_beat(m_sockStream, from, kHeartBeatBack, m_nSessionId);
        round_over = true;
      }
    }
  }
  return false;
}

void CRtpStreamManager::RunUdp() {
  if (!Punch() || Stopped()) return;
  const auto ip = platform::parse_dotted(m_strDevIP);
  const platform::SockAddr device{*ip, static_cast<std::uint16_t>(m_nDevPort)};
  PostMessage(m_hWnd, WM_USER, NOTIFY_STREAM_START, 0);
  media::SliceAssembler assembler(m_nMagic);
  platform::set_nonblocking(m_sockStream, true);
  std::vector<std::uint8_t> buf(kUdpReceive);
  std::uint64_t last_answer = Now();
  std::uint64_t last_hb = last_answer;
  while (!Stopped()) {
    if (Since(last_answer) > m_nTimeOut) break;
    if (Since(last_hb) > m_nHbInterval) {
      send_heart_beat(m_sockStream, device, kHeartBeat, m_nSessionId);
      last_hb = Now();
    }
    // Until the next heart beat or the time-out, whichever comes first.
    const int w = platform::wait_readable(
        m_sockStream,
        std::min(Until(last_answer, m_nTimeOut + 1), Until(last_hb, m_nHbInterval + 1)),
        m_stopWake);
    if (w < 0) break;
    if (w == 0) continue;
    platform::SockAddr from;
    const int n = platform::recv_from(m_sockStream, std::as_writable_bytes(std::span(buf)), &from);
    if (n == 0 && Stopped()) break;
    if (n < 0) {
      if (platform::would_block()) continue;
      break;
    }
    const std::span<const std::uint8_t> d(buf.data(), static_cast<std::size_t>(n));
    if (n == 8) {
      if (is_heart_beat(d, kHeartBeatBack, m_nSessionId))
        last_answer = Now();
      else if (is_heart_beat(d, kHeartBeat, m_nSessionId))
        send_heart_beat(m_sockStream, from, kHeartBeat, m_nSessionId);
      continue;
    }
    if (assembler.feed(d) == media::SliceAssembler::Result::complete &&
        !PushFrame(assembler.frame()))
      break;
  }
}

}  // namespace velmo
