// The devices and servers the simulator plays, read from a fleet file.
//
// Fleet file format: one statement per line; blanks and tabs separate words;
// '#' starts a comment (at the start of a line or after a blank); empty lines
// are ignored. Words are taken as raw bytes (CP936 text passes through).
//
//   p2p-server self                  a UDP address responder run by the simulator
//   p2p-server <dotted-ip> <port>    an outside P2P server, listed as is
//   device <i2c> <tel> <password>    starts a device; "-" as password means empty
//   channel <n> <connect-type> [key=value ...]
//                                    a channel of the last device; n is 0-15;
//                                    connect-type is one of
//                                      client-monitor-direct, monitor-client-direct,
//                                      client-monitor-p2p, client-monitor-middle-transfer
//   set <key> <value...>             a setting of the last device (value: rest of line)
//
// The p2p-server lines, in order, make the p2pSvrInf list of the authentication
// reply; with none, the simulator runs one responder of its own ("self").
// Device ids are unique; channel numbers are unique within a device.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvsim {

enum class ConnectType {
  client_monitor_direct,
  monitor_client_direct,
  client_monitor_p2p,
  client_monitor_middle_transfer,
};

// The wire text ("client-monitor-direct", ...).
std::string_view connect_type_text(ConnectType type);
std::optional<ConnectType> parse_connect_type(std::string_view text);

struct SimChannel {
  int number = 0;
  ConnectType connect = ConnectType::client_monitor_direct;
  std::map<std::string, std::string> options;  // key=value words of the channel line
};

struct SimDevice {
  std::string i2c;
  std::string tel;
  std::string password;
  std::vector<SimChannel> channels;
  std::map<std::string, std::string> settings;

  const SimChannel* channel(int number) const;
};

struct P2pServerEntry {
  bool self = true;  // served by the simulator's own responder
  std::string ip;    // outside server only
  int port = 0;      // outside server only
};

struct Fleet {
  std::vector<SimDevice> devices;
  std::vector<P2pServerEntry> p2p_servers;

  const SimDevice* find(std::string_view i2c) const;
  // Responders the simulator runs: the "self" entries, at least one.
  int self_responders() const;
};

struct FleetResult {
  std::optional<Fleet> fleet;
  std::string error;  // "line 7: ..." when fleet is empty
  bool ok() const { return fleet.has_value(); }
};

FleetResult parse_fleet(std::string_view text);
FleetResult load_fleet(const std::string& path);

// A few lines for people: devices, phone numbers, channels and their types.
std::string fleet_summary(const Fleet& fleet);

}  // namespace orvsim
