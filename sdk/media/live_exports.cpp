// The live exports: play, stop, record, capture, bit rate and PTZ, and the
// negotiation and connection type of a channel for diagnostics.
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "control/auth.h"
#include "control/connect.h"
#include "control/negotiate.h"
#include "control/reply.h"
#include "frame/user_table.h"
#include "media/live_channel.h"
#include "media/rtsp_manager.h"
#include "platform/text.h"
#include "platform/window.h"
#include "ptz/ptz_control.h"
#include "velmosdk_live.h"
#include "vidrane/vidrane.h"

namespace {

std::mutex g_capture_mutex;
std::wstring g_capture_path;

void capture_callback(long port, char* buffer, long size, long width, long height, long, long type,
                      long) {
  std::wstring path;
  {
    std::lock_guard lock(g_capture_mutex);
    path = g_capture_path;
  }
  Play264_ConvertToBmpFile(buffer, size, width, height, type, path.c_str());
  Play264_SetDisplayCallBack(port, nullptr);
}

}  // namespace

long RealPlay(long loginHandle, long channel, HWND wnd) {
  using namespace velmo;
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch) return -1;
  install_live_session();
  LiveChannelState& state = live_state(*ch);
  std::lock_guard lock(state.restart);
  // A connect thread that is still trying would be waited for without end
  // (it retries until it connects): this call replaces it instead.
  if (ch->m_hThread.running()) stop_connect_thread(*ch);
  if (IsWindow(wnd)) ch->m_hPlayWnd = wnd;
  const long port = reopen_player(*ch);
  if (port < 0) return -1;
  if (!start_connect_thread(*ch)) return -1;
  return port;
}

int StopRealPlay(long loginHandle, long channel) {
  using namespace velmo;
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch) return 0;
  LiveChannelState& state = live_state(*ch);
  ch->m_bStop.stop();
  ch->discard_http();
  {
    // Tells the session not to restart and wakes its waits at once.
    std::lock_guard lock(state.session);
    if (auto* s = live_session(*ch)) s->TearDown();
  }
  {
    std::lock_guard lock(state.restart);
    stop_connect_thread(*ch);
  }
  {
    // Stopped first: the decoder's next frame is refused and its thread ends
    // instead of drawing into a view that goes; closed below.
    std::lock_guard lock(state.restart);
    if (ch->m_nPlayPort >= 0) Play264_Stop(ch->m_nPlayPort);
  }
  std::unique_ptr<LiveSession> session;
  {
    std::lock_guard lock(state.session);
    session = std::move(ch->m_pRtspManager);
  }
  if (auto* s = dynamic_cast<CRtspManger*>(session.get())) s->TearDown();
  session.reset();
  if (ch->m_pListener) ch->m_pListener->Stop();
  std::lock_guard lock(state.restart);
  close_player(*ch);
  return 1;
}

int StartLocalRecord(long loginHandle, long channel, const wchar_t* path) {
  using namespace velmo;
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !path) return 0;
  LiveChannelState& state = live_state(*ch);
  // The hand-off reads and clears the path on the connect thread.
  std::lock_guard lock(state.session);
  ch->m_strRecordFile = path;
  if (ch->m_strRecordFile.empty()) return 0;
  if (auto* s = live_session(*ch)) s->StartRecord(record_path(ch->m_strRecordFile));
  return 1;
}

int StopLoacalRecord(long loginHandle, long channel) {
  using namespace velmo;
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch) return 0;
  LiveChannelState& state = live_state(*ch);
  std::lock_guard lock(state.session);
  ch->m_strRecordFile.clear();
  auto* s = live_session(*ch);
  return s && s->StopRecord() == 1 ? 1 : 0;
}

int CapturePicture(int port, const wchar_t* path) {
  if (!velmo::user_table() || port < 0 || !path) return 0;
  {
    std::lock_guard lock(g_capture_mutex);
    g_capture_path = path;
  }
  return Play264_SetDisplayCallBack(port, &capture_callback);
}

int CapturePicture(const wchar_t* path, int port) {
  return CapturePicture(port, path);
}

int _GetBitRate(long loginHandle, long channel) {
  using namespace velmo;
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch) return 0;
  LiveChannelState& state = live_state(*ch);
  std::lock_guard lock(state.session);
  auto* s = live_session(*ch);
  return s ? s->BitRate() : 0;
}

int GetStreamCounters(long loginHandle, long channel, unsigned long long* frames,
                      unsigned long long* bytes) {
  using namespace velmo;
  if (frames) *frames = 0;
  if (bytes) *bytes = 0;
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !frames || !bytes) return 0;
  LiveChannelState& state = live_state(*ch);
  std::lock_guard lock(state.session);
  auto* s = live_session(*ch);
  std::uint64_t f = 0, b = 0;
  if (!s || !s->StreamCounters(f, b)) return 0;
  *frames = f;
  *bytes = b;
  return 1;
}

int PtzControl(long loginHandle, long channel, int command, int valueA, int valueB, int valueC,
               int valueD) {
  using namespace velmo;
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch) return 0;
  LiveChannelState& state = live_state(*ch);
  std::lock_guard lock(state.session);
  auto* s = live_session(*ch);
  if (!s) return 0;
  const PtzChannelState ptz{ch->m_wDecoderType, ch->m_wPtzProtocol, ch->m_nDecoderAddress,
                            ch->m_pPtz};
  const std::string hex = EncodePtzCommand(ptz, command, valueA, valueB, valueC, valueD);
  if (hex.empty()) return 0;
  return s->SendPtzCommand(hex, static_cast<int>(channel));
}

int NegotiateChannel(long loginHandle, long channel, int timeout, NegotiatedTarget& target) {
  using namespace velmo;
  target = NegotiatedTarget{};
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || timeout < 1) return 0;
  LiveChannelState& state = live_state(*ch);
  // Keeps RealPlay from starting the channel meanwhile.
  std::lock_guard lock(state.restart);
  {
    // A playing channel's connection and listener belong to its connect
    // thread and session.
    std::lock_guard session(state.session);
    if (ch->m_hThread.running() || ch->m_pRtspManager) return 0;
  }
  if (!authenticate_channel(*ch, timeout)) return 0;
  const std::string body = negotiate(*ch);
  // No session is there to take a device's connection.
  if (ch->m_pListener) ch->m_pListener->Stop();
  if (body.empty()) return 0;
  const NegotiationReply reply = read_negotiation_reply(body);
  if (reply.passwd_error) return -1;
  const std::optional<ConnectTarget> t =
      reply.info ? target_from_info(*reply.info, *ch) : std::nullopt;
  if (!t) return 0;
  target.connectType = t->connect_type;
  target.peerIp = t->peer_ip;
  target.peerPort = t->peer_port;
  target.tcpMode = t->tcp_mode;
  target.p2pServerIp = t->p2p_server_ip;
  target.p2pServerPort = t->p2p_server_port;
  target.p2pRepeat = t->p2p_repeat;
  target.p2pOvertime = t->p2p_overtime;
  target.p2pDriftRange = t->p2p_drift_range;
  target.randomValue = t->random_value;
  target.sessionId = t->session_id;
  target.listenPort = ch->m_nListenPort;
  target.deviceConnects = t->listener != nullptr;
  return 1;
}

int GetConnectType(long loginHandle, long channel, char* buf, int size) {
  using namespace velmo;
  if (buf && size > 0) buf[0] = '\0';
  ChannelInfo* ch = guarded_channel(loginHandle, channel);
  if (!ch || !buf || size <= 0) return 0;
  LiveChannelState& state = live_state(*ch);
  std::lock_guard lock(state.session);
  const CRtspManger* s = live_session(*ch);
  if (!s || s->m_strConnectType.empty() ||
      s->m_strConnectType.size() >= static_cast<std::size_t>(size))
    return 0;
  std::memcpy(buf, s->m_strConnectType.c_str(), s->m_strConnectType.size() + 1);
  return 1;
}
