#include "control/auth.h"

#include <cstring>

#include "control/http.h"
#include "control/reply.h"
#include "control/request.h"
#include "frame/user_table.h"
#include "morvic/morvic.h"
#include "platform/clock.h"
#include "platform/net.h"

namespace velmo {
namespace {

constexpr int kAddrQueryType = 0x00000107;

int status_code(int status) {
  switch (status) {
    case 400:
    case 404:
    case 500:
    case 501:
    case 503:
    case 601:
      return 20000 + status;
    default:
      return 30000;
  }
}

}  // namespace

ControlTuning& tuning() {
  static ControlTuning t;
  return t;
}

bool public_addr_query(SOCKET s, std::string_view server, int port, std::uint32_t& ip_net,
                       std::uint16_t& port_net) {
  ip_net = 0;
  port_net = 0;
  const auto ip = platform::parse_dotted(server);
  if (!ip || port < 1 || port > 65535) return false;
  const platform::SockAddr to{*ip, static_cast<std::uint16_t>(port)};
  const char query[4] = {0, 0, static_cast<char>(kAddrQueryType >> 8),
                         static_cast<char>(kAddrQueryType & 0xFF)};
  for (int attempt = 0; attempt < tuning().addr_query_tries; ++attempt) {
    if (s == INVALID_SOCKET) continue;
    const int sent = platform::send_to(s, query, sizeof query, to);
    platform::sleep_ms(10);
    if (sent != static_cast<int>(sizeof query)) continue;
    const int ready = platform::wait_readable(s, tuning().addr_query_wait_ms);
    if (ready == 0) continue;
    if (ready < 0) return false;
    unsigned char answer[12];
    platform::SockAddr from;
    const int n = platform::recv_from(s, reinterpret_cast<char*>(answer), sizeof answer, &from);
    if (n < 10 || from.ip != *ip) return false;
    std::memcpy(&ip_net, answer + 4, 4);
    std::memcpy(&port_net, answer + 8, 2);
    return true;
  }
  return false;
}

std::optional<int> measure_drift(const AuthReply& reply, int initial, ProbeWake* wake) {
  platform::Socket probe(platform::udp_socket());
  if (!probe || !platform::set_reuse_addr(probe.get(), true) ||
      !platform::bind_socket(probe.get(), {0, 0}))
    return std::nullopt;
  // A stop shuts the probe down: its waits end and the exchange fails.
  struct Attached {
    ProbeWake* wake;
    ~Attached() {
      if (wake) wake->detach();
    }
  } attached{wake && wake->attach(probe.get()) ? wake : nullptr};
  if (wake && !attached.wake) return std::nullopt;
  const auto stopped = [&] { return attached.wake && attached.wake->stopped(); };
  int drift = initial;
  int first = -1;
  int second = -1;
  for (const auto& server : reply.servers) {
    if (!server) return std::nullopt;
    std::uint32_t ip_net = 0;
    std::uint16_t port_net = 0;
    if (!public_addr_query(probe.get(), server->ipv4, server->port, ip_net, port_net)) {
      if (stopped()) return std::nullopt;
      drift = 10000;
      break;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(&port_net);
    const int public_port = (b[0] << 8) | b[1];
    if (first < 0) {
      first = public_port;
    } else {
      second = public_port;
      break;
    }
  }
  if (first >= 0 && second >= 0) drift = second < first ? 65540 : 0;
  return drift;
}

bool authenticate(CMorvic& conn, const AuthTarget& target, bool set_codes, ProbeWake* wake) {
  const NewConnection open{target.port, target.timeout_s};
  const HttpResult r = http_exchange(
      conn, auth_url(wide(target.server), target.port, wide(target.i2c), wide(target.tel)), &open,
      1);
  if (set_codes) {
    if (r.failure == HttpFailure::connect) set_last_error(20002);
    if (r.failure == HttpFailure::send) set_last_error(20003);
    if (r.status != 0 && r.status != 200) set_last_error(status_code(r.status));
  }
  if (!r.ok()) return false;
  auto reply = read_auth_reply(r.body);
  if (!reply) return false;
  conn.m_strWanIP = reply->wan_ip;
  auto drift = measure_drift(*reply, conn.m_nDriftRange, wake);
  if (!drift) return false;
  conn.m_nDriftRange = *drift;
  return true;
}

bool authenticate_channel(ChannelInfo& channel, int timeout_s, bool honour_stop) {
  UserInfo& user = *channel.m_pUser;
  auto conn = make_http();
  if (!conn) return false;
  channel.set_http(conn);
  if (honour_stop && channel.m_bStop.stopped()) {
    channel.discard_http();
    return false;
  }
  const AuthTarget target{user.m_strServer, user.m_nPort, user.m_strI2c, user.m_strTel, timeout_s};
  // A cancel during the exchange discards the object; the result stands only
  // while the channel still holds this one.
  class ChannelWake final : public ProbeWake {
   public:
    ChannelWake(ChannelInfo& ch, const CMorvic* c) : ch_(ch), conn_(c) {}
    bool attach(SOCKET probe) override { return ch_.attach_probe(conn_, probe); }
    void detach() override { ch_.detach_probe(); }
    bool stopped() const override { return ch_.http().get() != conn_; }

   private:
    ChannelInfo& ch_;
    const CMorvic* conn_;
  } wake(channel, conn.get());
  if (authenticate(*conn, target, true, &wake) && channel.http() == conn) return true;
  if (channel.http() == conn) channel.discard_http();
  return false;
}

}  // namespace velmo
