// Connection negotiation: the "realtime?" request, the reading of its reply
// and the connection target each connection type hands to a new session.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "control/reply.h"
#include "platform/types.h"

namespace velmo {

struct ChannelInfo;
class ChannelListener;

inline constexpr char kClientMonitorDirect[] = "client-monitor-direct";
inline constexpr char kMonitorClientDirect[] = "monitor-client-direct";
inline constexpr char kClientMonitorP2p[] = "client-monitor-p2p";
inline constexpr char kClientMonitorMiddleTransfer[] = "client-monitor-middle-transfer";

// What the negotiation hands to a new live session.
struct ConnectTarget {
  SOCKET sock = 0;
  std::string peer_ip;
  int peer_port = 0;
  std::string p2p_server_ip;
  int p2p_server_port = 0;
  int p2p_repeat = 0;
  int p2p_overtime = 0;
  int p2p_drift_range = 0;
  int tcp_mode = 1;
  std::string connect_type;
  std::string random_value;
  int session_id = 0;
  std::wstring device_phone;
  bool has_reconnect_delay = false;
  int reconnect_delay = 0;
  HWND notify_wnd = nullptr;
  ChannelListener* listener = nullptr;  // "monitor-client-direct" only
};

// The one point where a connection target becomes a running live session.
// The live-session code installs it: it discards the channel's current
// session (stopping its recording), creates the new one from the target,
// carries the recording over and starts it. It runs on the connect thread and
// returns false when the session cannot be made; the target's socket then
// still belongs to the channel.
using SessionHandoff = std::function<bool(ChannelInfo&, const ConnectTarget&)>;
void set_session_handoff(SessionHandoff handoff);

// The negotiation request of a channel; the body on status 200, else empty.
std::string negotiate(ChannelInfo& channel);

// Interprets a reply and hands the target over; true when the hand-off took it.
bool interpret_reply(ChannelInfo& channel, const std::string& body);
bool interpret_reply(ChannelInfo& channel, const NegotiationReply& reply);

// The target a reply gives for a channel, without side effects on sockets or
// the listener (the TCP socket is made later); nullopt for an unusable reply.
std::optional<ConnectTarget> target_from_info(const ConnectInfo& info, const ChannelInfo& channel);

}  // namespace velmo
