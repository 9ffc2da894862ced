// The device side of the control requests: connection negotiation
// ("realtime?", "connect?"), the configuration commands with each device's
// settings kept as state, and the talkback upstream ("audio_data?").
//
// Settings start from the fleet's "set" lines of a device:
//   set alarm opened|closed           alarm switch (also motion-detect, record-type)
//   set rs485 <baud> <data> <stop> <parity> <flow> <decoder-type> <decoder-address>
//   set allow_tel <numbers>           allowed caller numbers
//   set const_pwd <text>              fixed password (also tmp_pwd, emergency_tel)
//   set gps <text>                    the GPS text
//   set error <text>                  every configuration reply carries <Error>text</Error>
// Channel options of the fleet (channel <n> <type> key=value ...): lan-ip,
// rtcp-port, transit-ip, transit-port, random, session-id.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fleet.h"
#include "handlers.h"

namespace orvsim {

struct Rs485Settings {
  long long baud_rate = 9600;
  int data_bit = 8;
  int stop_bit = 1;
  int parity = 'N';
  int flow_control = 0;
  int decoder_type = 25;
  int decoder_address = 1;
};

struct DeviceSettings {
  bool alarm = false;
  bool motion_detect = false;
  bool record_type = false;
  Rs485Settings rs485_default;         // channels never set
  std::map<int, Rs485Settings> rs485;  // by channel
  std::string allow_tel;
  std::string const_pwd = "000000";
  std::string tmp_pwd;
  std::string emergency_tel;
  std::string gps;
  std::string error;  // non-empty: configuration replies carry <Error>
};

// One "audio_data?" request as received.
struct AudioBlock {
  std::string i2c;
  std::string tel;
  std::string buflen;    // the key's text
  std::string data_buf;  // the raw bytes of the value
  // The value read back into 16-bit little-endian characters, as the device
  // rebuilds the block from them.
  std::vector<std::uint8_t> bytes;
};

class ControlPlane {
 public:
  using FleetSource = std::function<std::shared_ptr<const Fleet>()>;
  using PortsSource = std::function<std::vector<int>()>;

  // Registers the handlers; "/realtime" and "/connect" requests that are not
  // negotiations go to the handlers registered before. fleet gives the fleet in force; p2p_ports
  // the simulator's own address responders (the P2P server of "client-monitor-p2p").
  void install(HandlerRegistry& handlers, FleetSource fleet, PortsSource p2p_ports);

  // The settings of a device (from the fleet until changed).
  DeviceSettings settings(const std::string& i2c) const;
  void set_error(const std::string& i2c, std::string error);
  std::vector<AudioBlock> audio_blocks() const;

 private:
  DeviceSettings& state_for(const SimDevice& device);  // m_ held
  HttpReply negotiate(const HandlerContext& c, const Fleet& fleet);
  HttpReply configure(const std::string& action, const HandlerContext& c, const Fleet& fleet);
  HttpReply audio(const HandlerContext& c, const Fleet& fleet);

  PortsSource p2p_ports_;
  mutable std::mutex m_;
  std::map<std::string, DeviceSettings> state_;
  std::vector<AudioBlock> audio_;
  std::uint32_t next_session_ = 1000;
};

// Settings of a device as its fleet "set" lines give them.
DeviceSettings settings_from_fleet(const SimDevice& device);

}  // namespace orvsim
