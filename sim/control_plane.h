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
//   set gps-track <lat> <lon> <km/h>  the GPS text is an RMC sentence of a vehicle driving
//                                     round a 1 km circle about (lat, lon) since start-up
//                                     (replaces gps)
//   set error <text>                  every configuration reply carries <Error>text</Error>
// Channel options of the fleet (channel <n> <type> key=value ...): lan-ip,
// rtcp-port, transit-ip, transit-port, random, session-id.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet.h"
#include "handlers.h"

namespace orvsim {

class DeviceLog;

struct Rs485Settings {
  long long baud_rate = 9600;
  int data_bit = 8;
  int stop_bit = 1;
  int parity = 'N';
  int flow_control = 0;
  int decoder_type = 25;
  int decoder_address = 1;
};

// A vehicle driving round a circle, counter-clockwise, from due east of the centre.
struct GpsTrack {
  double latitude = 0;   // centre, degrees, south negative
  double longitude = 0;  // centre, degrees, west negative
  double speed_kmh = 0;
  static constexpr double kRadiusM = 1000;
};

// The NMEA 0183 RMC sentence ("$GPRMC,...*CS", no line end) of the vehicle
// elapsed_s seconds after it set off, stamped with utc.
std::string rmc_sentence(const GpsTrack& track, double elapsed_s,
                         std::chrono::system_clock::time_point utc);

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
  std::optional<GpsTrack> gps_track;  // set: answers with the moving position, not gps
  std::string error;                  // non-empty: configuration replies carry <Error>
};

// One "audio_data?" request as received. data_buf is read back into 16-bit
// units ("%uXXXX" one unit, "%XX" one byte, other bytes CP936 text), the
// units into little-endian bytes, and the block is the first buflen of them;
// the block is then read as voice frames (G.726-16) back to back.
struct AudioBlock {
  std::string i2c;
  std::string tel;
  std::string buflen;               // the key's text
  std::string data_buf;             // the raw bytes of the value
  std::vector<std::uint8_t> bytes;  // the block
  bool bad = false;  // bad escape, bad buflen, or fewer (or more) units than buflen needs
  std::vector<std::vector<std::uint8_t>> frames;  // the voice frames, header included
  std::vector<std::int16_t> samples;              // what they decode to
  bool voice = false;  // the block is whole voice frames that all decoded
};

// The data_buf value's units and the block they carry (for tests of the wire form).
struct AudioValue {
  std::vector<std::uint8_t> bytes;
  bool bad = false;
};
AudioValue decode_audio_value(std::string_view data_buf, std::string_view buflen);

class ControlPlane {
 public:
  using FleetSource = std::function<std::shared_ptr<const Fleet>()>;
  using PortsSource = std::function<std::vector<int>()>;

  // Registers the handlers; "/realtime" and "/connect" requests that are not
  // negotiations go to the handlers registered before. fleet gives the fleet in force; p2p_ports
  // the simulator's own address responders (the P2P server of "client-monitor-p2p").
  // log, when given, gets a note per audio block for the people watching.
  void install(HandlerRegistry& handlers, FleetSource fleet, PortsSource p2p_ports,
               DeviceLog* log = nullptr);

  // The settings of a device (from the fleet until changed).
  DeviceSettings settings(const std::string& i2c) const;
  void set_error(const std::string& i2c, std::string error);
  std::vector<AudioBlock> audio_blocks() const;  // the newest kMaxAudioBlocks
  // Every voice sample decoded for a device (kept as audio_blocks are), and their count.
  std::vector<std::int16_t> voice_samples(const std::string& i2c) const;
  std::uint64_t voice_sample_count(const std::string& i2c) const;

  static constexpr std::size_t kMaxAudioBlocks = 4096;

 private:
  DeviceSettings& state_for(const SimDevice& device);  // m_ held
  HttpReply negotiate(const HandlerContext& c, const Fleet& fleet);
  HttpReply configure(const std::string& action, const HandlerContext& c, const Fleet& fleet);
  HttpReply audio(const HandlerContext& c, const Fleet& fleet);

  PortsSource p2p_ports_;
  mutable std::mutex m_;
  std::map<std::string, DeviceSettings> state_;
  struct VoiceDecoder {
    std::vector<unsigned char> state;  // the codec's record, reset once
    std::uint64_t samples = 0;
  };
  void decode_voice(AudioBlock& block);  // m_ held

  DeviceLog* log_ = nullptr;
  std::deque<AudioBlock> audio_;
  std::map<std::string, VoiceDecoder> voice_;  // by i2c: one stream per device
  std::uint32_t next_session_ = 1000;
  const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// Settings of a device as its fleet "set" lines give them.
DeviceSettings settings_from_fleet(const SimDevice& device);

}  // namespace orvsim
