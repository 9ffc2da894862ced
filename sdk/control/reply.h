// Readers of the servers' XML replies. Every value from outside is checked
// here; a reader that returns a value returned a complete, sane one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// Strict decimal number with an optional sign; nullopt for anything else.
std::optional<std::int64_t> parse_number(std::string_view text);

struct P2pServer {
  std::string ipv4;
  int port = 0;  // 0 when the Port element is missing or out of range
};

struct AuthReply {
  std::string wan_ip;
  // One entry per p2pSvrInf in document order; nullopt where an element's
  // text is empty or does not load.
  std::vector<std::optional<P2pServer>> servers;
};
// MSGTYPE "PublicAddr", a non-empty IP and at least one p2pSvrInf.
std::optional<AuthReply> read_auth_reply(std::string_view body);

struct ConnectInfo {
  std::string connect_type;
  std::string wan_ip;
  std::string lan_ip;
  std::string random_value;
  std::string ipv4;
  std::string transit_ip;
  std::optional<std::int64_t> rtcp_port;
  std::optional<std::int64_t> port;
  std::optional<std::int64_t> transit_port;
  std::optional<std::int64_t> session_id;
  std::optional<std::int64_t> drift_range;
};

struct NegotiationReply {
  bool loaded = false;        // the body is XML
  bool passwd_error = false;  // ERROR reads "PASSWD_ERROR"
  // MSGTYPE "ConnectInfo" with a ConnectInfo element that loads.
  std::optional<ConnectInfo> info;
};
NegotiationReply read_negotiation_reply(std::string_view body);

struct AlarmCfg {
  int alarm = 0;
  int motion_detect = 0;
  int record_type = 0;
};
std::optional<AlarmCfg> read_alarm_cfg(std::string_view body);

struct Rs485Cfg {
  std::uint32_t baud_rate = 0;
  std::uint8_t data_bit = 0;
  std::uint8_t stop_bit = 0;
  std::uint8_t parity = 0;
  std::uint8_t flow_control = 0;
  std::uint16_t decoder_type = 0;
  std::uint16_t decoder_address = 0;
};
std::optional<Rs485Cfg> read_rs485_cfg(std::string_view body);

std::optional<std::string> read_tdnet_cfg(std::string_view body);

struct SecurityCfg {
  std::string const_pwd;
  std::string tmp_pwd;
  std::string emergency_tel;
  bool org_pwd_error = false;
};
std::optional<SecurityCfg> read_security_cfg(std::string_view body);

// RecvGpsData, or nullopt on a load failure or an Error.
std::optional<std::string> read_gps_data(std::string_view body);

}  // namespace velmo
