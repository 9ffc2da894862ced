#include "media/live_channel.h"

#include <cerrno>
#include <mutex>

#include "control/connect.h"
#include "control/negotiate.h"
#include "media/rtsp_manager.h"
#include "media/tcp_server.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/window.h"
#include "vidrane/vidrane.h"

namespace velmo {
namespace {

// Guards only the making of a channel's state, which any thread may ask for
// first.
std::mutex g_make_state_mutex;

void delete_state(LiveChannelState* state) {
  delete state;
}

// A new session for a negotiated connection target; runs on the connect
// thread.
bool live_handoff(ChannelInfo& channel, const ConnectTarget& t) {
  if (channel.m_bStop.stopped()) return false;
  LiveChannelState& state = live_state(channel);
  std::unique_ptr<LiveSession> previous;
  {
    std::lock_guard lock(state.session);
    // A path asked for before the first session waits for it; a replaced
    // session's recording ends with it.
    if (auto* old = live_session(channel); old && !channel.m_strRecordFile.empty()) {
      channel.m_strRecordFile.clear();
      old->StopRecord();
    }
    previous = std::move(channel.m_pRtspManager);
  }
  previous.reset();  // stops and waits for the old session thread

  auto session = std::make_unique<CRtspManger>(&channel);
  session->m_strConnectType = t.connect_type;
  session->m_strRandomValue = t.random_value;
  session->m_nSessionId = t.session_id;
  session->m_strTel = t.device_phone;
  if (t.has_reconnect_delay) session->m_nReconnectDelay = t.reconnect_delay;
  session->m_hWnd = t.notify_wnd;
  session->m_nPlayPort = channel.m_nPlayPort;
  session->m_nTransport = t.tcp_mode;
  if (t.tcp_mode == 0) {
    session->SetP2pTarget(t.peer_ip.c_str(), t.p2p_server_port, t.p2p_server_ip.c_str(),
                          INVALID_SOCKET, t.peer_port);
    session->m_nHoleMaxTry = t.p2p_repeat;
    session->m_nHoleInterval = t.p2p_overtime;
    session->m_nPortDriftRange = t.p2p_drift_range;
  } else {
    session->m_sock = t.connect_type == kMonitorClientDirect ? INVALID_SOCKET : t.sock;
    session->m_strPeerIP = t.peer_ip;
    session->m_nPeerPort = t.peer_port;
    if (auto* l = dynamic_cast<RtcpChannelListener*>(t.listener))
      session->m_pListener = &l->listener();
    if (t.connect_type == kMonitorClientDirect && !session->m_pListener) return false;
  }
  CRtspManger* started = session.get();
  {
    std::lock_guard lock(state.session);
    if (channel.m_bStop.stopped()) {
      // The socket stays the channel's, as for any refused hand-off.
      session->m_sock = INVALID_SOCKET;
      return false;
    }
    channel.m_pRtspManager = std::move(session);
    if (!channel.m_strRecordFile.empty())
      started->StartRecord(record_path(channel.m_strRecordFile));
    started->Resume();
  }
  return true;
}

}  // namespace

LiveChannelState& live_state(ChannelInfo& channel) {
  std::lock_guard lock(g_make_state_mutex);
  if (!channel.m_pLiveState) channel.m_pLiveState = {new LiveChannelState, &delete_state};
  return *channel.m_pLiveState;
}

CRtspManger* live_session(ChannelInfo& channel) {
  return dynamic_cast<CRtspManger*>(channel.m_pRtspManager.get());
}

void close_player(ChannelInfo& channel) {
  if (channel.m_nPlayPort < 0) return;
  Play264_Stop(channel.m_nPlayPort);
  Play264_CloseStream(channel.m_nPlayPort);
  release_play_port(channel.m_nPlayPort);
  channel.m_nPlayPort = -1;
}

long reopen_player(ChannelInfo& channel) {
  close_player(channel);
  if (!IsWindow(channel.m_hPlayWnd)) {
    errno = 20000;  // the thread's own error value, as the caller reads it
    return -1;
  }
  const int port = take_play_port();
  if (port < 0) {
    set_last_error(20104);
    return -1;
  }
  if (!Play264_OpenStream(port, nullptr, 0, 0x10000)) {
    release_play_port(port);
    set_last_error(20104);
    return -1;
  }
  Play264_SetStreamOpenMode(port, 0);
  Play264_Play(port, channel.m_hPlayWnd);
  Play264_SetOverlayMode(port, 1, 0xF0000);
  channel.m_nPlayPort = port;
  return port;
}

void restart_channel(ChannelInfo& channel, bool p2p_failed, const std::function<bool()>& quit) {
  LiveChannelState& state = live_state(channel);
  // StopRealPlay, RealPlay or a hand-off may hold the lock, or run a connect
  // thread, while they wait for this very session: every wait here gives way
  // as soon as the session is told to quit.
  for (;;) {
    if (quit() || channel.m_bStop.stopped() || !user_table()) return;
    std::unique_lock lock(state.restart, std::defer_lock);
    if (lock.try_lock_for(std::chrono::milliseconds(10))) {
      if (quit() || channel.m_bStop.stopped() || !user_table()) return;
      // The thread that made this session may still be finishing.
      if (!channel.m_hThread.running()) {
        channel.m_hThread.join();
        if (p2p_failed) channel.m_bP2pOpen.store(0);
        if (channel.m_pListener) channel.m_pListener->Stop();
        if (reopen_player(channel) < 0) return;
        start_connect_thread(channel);
        return;
      }
    }
    if (lock.owns_lock()) lock.unlock();
    platform::sleep_ms(5);
  }
}

std::string record_path(std::wstring_view path) {
  return platform::utf8_from_wide(path);
}

void install_live_session() {
  static std::once_flag once;
  std::call_once(once, [] { set_session_handoff(&live_handoff); });
}

void install_live_listener() {
  set_listener_factory(&make_rtcp_listener);
}

}  // namespace velmo
