// What the live exports and the sessions share about a channel: its locks,
// its PTZ encoder, opening its player stream and restarting it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "frame/user_table.h"
#include "platform/event.h"

namespace velmo {

class CRtspManger;

struct LiveChannelState {
  // Starting and joining the connect thread: RealPlay, StopRealPlay and a
  // session's restart never do it at once.
  platform::Mutex restart;
  // The channel's session pointer: the hand-off replaces it while callers
  // record, capture, read the bit rate or send PTZ through it.
  std::mutex session;
};

// The channel's own state, made on first use; it goes with the channel.
LiveChannelState& live_state(ChannelInfo& channel);

// The channel's session as the live code made it, or null. Call with the
// state's session mutex held.
CRtspManger* live_session(ChannelInfo& channel);

// Closes the channel's player stream, if any, and opens a new one drawn into
// m_hPlayWnd: the port, or -1 (no window: -1 alone; no stream: error 20104).
long reopen_player(ChannelInfo& channel);
void close_player(ChannelInfo& channel);

// A session's restart of its channel: unless the channel or the session is
// stopped (quit() true), the listener is stopped, the player stream reopened
// and a new connect thread started. With p2p_failed the next negotiation
// asks for another connection type.
void restart_channel(ChannelInfo& channel, bool p2p_failed, const std::function<bool()>& quit);

// Installs the live session behind the negotiation's hand-off (RealPlay
// does, so a test may stand in its own before). Idempotent.
void install_live_session();
// Makes every channel's listener the one that accepts a device's two
// connections; InitMonitClientSDK calls it before the table is made.
void install_live_listener();

// A wide record path as the file system's bytes.
std::string record_path(std::wstring_view path);

}  // namespace velmo
