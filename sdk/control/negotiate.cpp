#include "control/negotiate.h"

#include <mutex>

#include "control/http.h"
#include "control/request.h"
#include "frame/user_table.h"
#include "morvic/morvic.h"
#include "platform/net.h"

namespace velmo {
namespace {

std::mutex g_handoff_mutex;
SessionHandoff g_handoff;

bool valid_port(const std::optional<std::int64_t>& v) {
  return v && *v >= 1 && *v <= 65535;
}

// Addresses and tokens travel on into RTSP request lines.
bool token_safe(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return false;
  }
  return true;
}

bool address_ok(const std::string& text) {
  return !text.empty() && token_safe(text);
}

}  // namespace

void set_session_handoff(SessionHandoff handoff) {
  std::lock_guard lock(g_handoff_mutex);
  g_handoff = std::move(handoff);
}

std::string negotiate(ChannelInfo& channel) {
  auto conn = channel.http();
  if (!conn || !channel.m_pListener) return {};
  const int port = channel.m_pListener->Start(0);
  if (port < 0) return {};
  channel.m_nListenPort = port;
  const UserInfo& user = *channel.m_pUser;
  NegotiationQuery q;
  q.i2c = wide(user.m_strI2c);
  q.tel = wide(user.m_strTel);
  q.wan_ip = wide(conn->m_strWanIP);
  q.lan_ip = conn->GetLocalIP();
  q.listen_port = channel.m_nListenPort;
  q.drift_range = conn->m_nDriftRange;
  q.channel = channel.m_nChannel;
  q.p2p_overtime = channel.m_nP2pOvertime;
  q.p2p_repeat = channel.m_nP2pRepeat;
  q.p2p_open = channel.m_bP2pOpen.load() != 0;
  q.resolution = channel.m_nResolution;
  q.image_type = channel.m_nImageType;
  q.frame_rate = channel.m_nFrameRate;
  q.bit_rate = channel.m_nBitRate;
  q.passwd = wide(user.m_strPasswd);
  HttpResult r = http_request(*conn, wide(user.m_strServer), user.m_nPort,
                              L"realtime?" + negotiation_query(q));
  return r.ok() ? std::move(r.body) : std::string();
}

std::optional<ConnectTarget> target_from_info(const ConnectInfo& info, const ChannelInfo& channel) {
  if (!info.session_id || *info.session_id < -2147483648LL || *info.session_id > 4294967295LL ||
      !token_safe(info.random_value))
    return std::nullopt;
  ConnectTarget t;
  t.connect_type = info.connect_type;
  t.random_value = info.random_value;
  t.session_id = static_cast<int>(static_cast<std::uint32_t>(*info.session_id));
  t.device_phone = wide(channel.m_pUser->m_strTel);
  t.has_reconnect_delay = channel.m_nReconnectDelay >= 0;
  t.reconnect_delay = channel.m_nReconnectDelay;
  t.notify_wnd = channel.m_hPlayWnd;
  const std::string& type = info.connect_type;
  if (type == kClientMonitorDirect || type == kMonitorClientDirect) {
    if (!address_ok(info.lan_ip) || !valid_port(info.rtcp_port)) return std::nullopt;
    t.peer_ip = info.lan_ip;
    t.peer_port = static_cast<int>(*info.rtcp_port);
    if (type == kClientMonitorDirect) {
      t.notify_wnd = channel.m_hMsgWnd;
    } else {
      t.sock = channel.m_sock;
      t.listener = channel.m_pListener.get();
    }
  } else if (type == kClientMonitorP2p) {
    if (!address_ok(info.ipv4) || !valid_port(info.port)) return std::nullopt;
    t.sock = 0;
    t.peer_ip = channel.m_strWanIP;
    t.peer_port = 0;
    t.p2p_server_ip = info.ipv4;
    t.p2p_server_port = static_cast<int>(*info.port);
    t.p2p_repeat = channel.m_nP2pRepeat;
    t.p2p_overtime = channel.m_nP2pOvertime;
    t.p2p_drift_range =
        info.drift_range && *info.drift_range >= INT32_MIN && *info.drift_range <= INT32_MAX
            ? static_cast<int>(*info.drift_range)
            : 0;
    t.tcp_mode = 0;
  } else if (type == kClientMonitorMiddleTransfer) {
    if (!address_ok(info.transit_ip) || !valid_port(info.transit_port)) return std::nullopt;
    t.peer_ip = info.transit_ip;
    t.peer_port = static_cast<int>(*info.transit_port);
  } else {
    return std::nullopt;
  }
  return t;
}

bool interpret_reply(ChannelInfo& channel, const std::string& body) {
  if (body.empty()) return false;
  return interpret_reply(channel, read_negotiation_reply(body));
}

bool interpret_reply(ChannelInfo& channel, const NegotiationReply& reply) {
  if (!reply.info) return false;
  auto target = target_from_info(*reply.info, channel);
  if (!target) return false;
  const std::string& type = target->connect_type;
  const bool new_socket = type == kClientMonitorDirect || type == kClientMonitorMiddleTransfer;
  if (type != kMonitorClientDirect && channel.m_pListener) channel.m_pListener->Stop();
  if (type == kClientMonitorDirect || type == kMonitorClientDirect) {
    channel.m_strWanIP = reply.info->wan_ip;
    channel.m_strLanIP = reply.info->lan_ip;
  }
  if (type != kClientMonitorP2p) channel.m_nPeerPort = target->peer_port;
  if (new_socket) {
    // The socket passes to the session; the channel keeps only its number.
    const SOCKET s = platform::tcp_socket();
    if (s == INVALID_SOCKET) return false;
    channel.m_sock = s;
    target->sock = s;
  }
  SessionHandoff handoff;
  {
    std::lock_guard lock(g_handoff_mutex);
    handoff = g_handoff;
  }
  if (!handoff || !handoff(channel, *target)) {
    if (new_socket) {
      platform::close_socket(channel.m_sock);
      channel.m_sock = INVALID_SOCKET;
    }
    return false;
  }
  channel.m_strConnectType = type;
  return true;
}

}  // namespace velmo
