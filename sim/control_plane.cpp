#include "control_plane.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "device_log.h"
#include "platform/text.h"
#include "voice/voice.h"
#include "xml_writer.h"

namespace orvsim {
namespace {

bool opened(const std::map<std::string, std::string>& settings, const char* key) {
  auto it = settings.find(key);
  return it != settings.end() && it->second == "opened";
}

std::optional<long long> number(std::string_view text) {
  long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

std::string option(const SimChannel& ch, const char* key, std::string fallback) {
  auto it = ch.options.find(key);
  return it == ch.options.end() ? fallback : it->second;
}

const char* switch_text(bool on) {
  return on ? "opened" : "closed";
}

HttpReply ok_reply(std::string_view what) {
  XmlWriter xml;
  xml.open("Message").element("MSGTYPE", what).element("Result", "ok");
  return {200, xml.finish()};
}

HttpReply device_error(std::string_view what, std::string_view error) {
  XmlWriter xml;
  xml.open("Message").element("MSGTYPE", what).element("Error", error);
  return {200, xml.finish()};
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The value of n hex digits at text[at], or -1.
long hex_at(std::string_view text, std::size_t at, std::size_t n) {
  if (at + n > text.size()) return -1;
  long v = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int d = hex_digit(text[at + i]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// Root mean square level of the samples, whole dBFS; nullopt for silence.
std::optional<int> level_dbfs(const std::vector<std::int16_t>& samples) {
  double sum = 0;
  for (std::int16_t v : samples) sum += double(v) * v;
  if (samples.empty() || sum == 0) return std::nullopt;
  const double rms = std::sqrt(sum / double(samples.size()));
  return static_cast<int>(std::lround(20 * std::log10(rms / 32768.0)));
}

constexpr double kMetresPerDegree = 111320.0;  // of latitude, and of longitude at the equator

// |degrees| as d..dmm.mmmm with deg_digits degree digits.
std::string nmea_angle(double degrees, int deg_digits) {
  const long long units = std::llround(std::fabs(degrees) * 60 * 10000);  // 1e-4 minutes
  char out[32];
  std::snprintf(out, sizeof out, "%0*lld%02lld.%04lld", deg_digits, units / 600000,
                units % 600000 / 10000, units % 10000);
  return out;
}

std::optional<GpsTrack> gps_track_from(const std::string& text) {
  std::istringstream in(text);
  GpsTrack t;
  std::string extra;
  if (!(in >> t.latitude >> t.longitude >> t.speed_kmh) || in >> extra) return std::nullopt;
  if (!(std::fabs(t.latitude) <= 85 && std::fabs(t.longitude) <= 180 && t.speed_kmh >= 0 &&
        t.speed_kmh <= 1000))
    return std::nullopt;
  return t;
}

}  // namespace

std::string rmc_sentence(const GpsTrack& track, double elapsed_s,
                         std::chrono::system_clock::time_point utc) {
  using namespace std::chrono;
  const double angle = track.speed_kmh / 3.6 * elapsed_s / GpsTrack::kRadiusM;
  const double north_m = GpsTrack::kRadiusM * std::sin(angle);
  const double east_m = GpsTrack::kRadiusM * std::cos(angle);
  const double lat = track.latitude + north_m / kMetresPerDegree;
  const double lon = track.longitude + east_m / (kMetresPerDegree *
                                                 std::cos(track.latitude * std::numbers::pi / 180));
  // Heading along the tangent (east -sin, north cos), clockwise from north.
  double course = std::atan2(-std::sin(angle), std::cos(angle)) * 180 / std::numbers::pi;
  if (course < 0) course += 360;
  if (course >= 359.95) course = 0;

  const auto day = floor<days>(utc);
  const year_month_day date{day};
  const long long centis = duration_cast<milliseconds>(utc - day).count() / 10;
  char body[160];
  std::snprintf(
      body, sizeof body, "GPRMC,%02lld%02lld%02lld.%02lld,A,%s,%c,%s,%c,%.2f,%.1f,%02u%02u%02d,,,A",
      centis / 360000, centis / 6000 % 60, centis / 100 % 60, centis % 100,
      nmea_angle(lat, 2).c_str(), lat < 0 ? 'S' : 'N', nmea_angle(lon, 3).c_str(),
      lon < 0 ? 'W' : 'E', track.speed_kmh / 1.852, course, static_cast<unsigned>(date.day()),
      static_cast<unsigned>(date.month()), static_cast<int>(date.year()) % 100);
  unsigned char sum = 0;
  for (const char* c = body; *c; ++c) sum ^= static_cast<unsigned char>(*c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return std::string("$") + body + tail;
}

AudioValue decode_audio_value(std::string_view data_buf, std::string_view buflen) {
  AudioValue out;
  std::u16string units;
  std::string run;  // CP936 text not yet read
  auto flush = [&] {
    if (run.empty()) return;
    const std::u16string text = platform::u16_from_cp936(run);
    if (platform::cp936_from_u16(text) != run) out.bad = true;
    units += text;
    run.clear();
  };
  for (std::size_t i = 0; i < data_buf.size();) {
    if (data_buf[i] != '%') {
      run += data_buf[i++];
      continue;
    }
    if (i + 1 < data_buf.size() && data_buf[i + 1] == 'u') {
      if (const long unit = hex_at(data_buf, i + 2, 4); unit >= 0) {
        flush();
        units += static_cast<char16_t>(unit);
        i += 6;
        continue;
      }
    } else if (const long byte = hex_at(data_buf, i + 1, 2); byte >= 0) {
      run += static_cast<char>(byte);
      i += 3;
      continue;
    }
    out.bad = true;
    run += data_buf[i++];
  }
  flush();
  for (char16_t u : units) {
    out.bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  const auto length = number(buflen);
  if (!length || *length < 0) {
    out.bad = true;
    return out;
  }
  const auto need = static_cast<std::size_t>(*length);
  // ceil(buflen / 2) units; an odd block's last unit is padded with a zero byte.
  if (units.size() != (need + 1) / 2 || (need % 2 == 1 && out.bytes.back() != 0)) out.bad = true;
  if (out.bytes.size() > need) out.bytes.resize(need);
  return out;
}

DeviceSettings settings_from_fleet(const SimDevice& device) {
  DeviceSettings s;
  const auto& set = device.settings;
  s.alarm = opened(set, "alarm");
  s.motion_detect = opened(set, "motion-detect");
  s.record_type = opened(set, "record-type");
  auto text = [&](const char* key, std::string& out) {
    auto it = set.find(key);
    if (it != set.end()) out = it->second;
  };
  text("allow_tel", s.allow_tel);
  text("const_pwd", s.const_pwd);
  text("tmp_pwd", s.tmp_pwd);
  text("emergency_tel", s.emergency_tel);
  text("gps", s.gps);
  if (auto it = set.find("gps-track"); it != set.end()) s.gps_track = gps_track_from(it->second);
  text("error", s.error);
  if (auto it = set.find("rs485"); it != set.end()) {
    std::istringstream in(it->second);
    Rs485Settings r;
    if (in >> r.baud_rate >> r.data_bit >> r.stop_bit >> r.parity >> r.flow_control >>
        r.decoder_type >> r.decoder_address)
      s.rs485_default = r;
  }
  return s;
}

void ControlPlane::install(HandlerRegistry& handlers, FleetSource fleet, PortsSource p2p_ports,
                           DeviceLog* log) {
  p2p_ports_ = std::move(p2p_ports);
  log_ = log;
  for (const char* path : {"/realtime", "/connect"}) {
    // A request without listen-port is not a negotiation (the P2P data request
    // shares "/realtime"): it goes to the handler registered before.
    auto previous = handlers.find(path);
    handlers.add(path, [this, fleet, previous](const HandlerContext& c) -> HttpReply {
      if (!c.params.has("listen-port") && previous && *previous) return (*previous)(c);
      return negotiate(c, *fleet());
    });
  }
  for (const char* action : {"alarm", "gpsdata-get", "rs485-get", "rs485-set", "tdnetcfg-get",
                             "tdnetcfg-set", "securitycfg-get", "securitycfg-set"}) {
    handlers.add(std::string("/") + action, [this, fleet, action](const HandlerContext& c) {
      return configure(action, c, *fleet());
    });
  }
  handlers.add("/audio_data",
               [this, fleet](const HandlerContext& c) { return audio(c, *fleet()); });
}

DeviceSettings ControlPlane::settings(const std::string& i2c) const {
  std::lock_guard lock(m_);
  auto it = state_.find(i2c);
  return it == state_.end() ? DeviceSettings{} : it->second;
}

void ControlPlane::set_error(const std::string& i2c, std::string error) {
  std::lock_guard lock(m_);
  state_[i2c].error = std::move(error);
}

std::vector<AudioBlock> ControlPlane::audio_blocks() const {
  std::lock_guard lock(m_);
  return {audio_.begin(), audio_.end()};
}

std::vector<std::int16_t> ControlPlane::voice_samples(const std::string& i2c) const {
  std::lock_guard lock(m_);
  std::vector<std::int16_t> out;
  for (const AudioBlock& b : audio_)
    if (b.i2c == i2c) out.insert(out.end(), b.samples.begin(), b.samples.end());
  return out;
}

std::uint64_t ControlPlane::voice_sample_count(const std::string& i2c) const {
  std::lock_guard lock(m_);
  auto it = voice_.find(i2c);
  return it == voice_.end() ? 0 : it->second.samples;
}

void ControlPlane::decode_voice(AudioBlock& block) {
  VoiceDecoder& dec = voice_[block.i2c];
  if (dec.state.empty()) {
    dec.state.assign(VOICE_STATE_SIZE, 0);
    VOICE_DecReset(dec.state.data(), VOICE_G726_16);
  }
  const std::vector<std::uint8_t>& b = block.bytes;
  std::size_t at = 0;
  bool whole = !b.empty();
  while (at < b.size()) {
    if (b.size() - at < VOICE_FRAME_HEADER_SIZE || (b[at] | (b[at + 1] << 8)) != VOICE_FRAME_KIND ||
        b[at + 3] != 0) {
      whole = false;
      break;
    }
    const std::size_t size = VOICE_FRAME_HEADER_SIZE + 2u * b[at + 2];
    if (b.size() - at < size) {
      whole = false;
      break;
    }
    std::int16_t pcm[VOICE_MAX_DECODED_SAMPLES];
    std::uint16_t count = 0;
    if (VOICE_DecodeFrame(dec.state.data(), b.data() + at, pcm, &count) != VOICE_OK) {
      whole = false;
      break;
    }
    block.frames.emplace_back(b.begin() + at, b.begin() + at + size);
    block.samples.insert(block.samples.end(), pcm, pcm + count);
    at += size;
  }
  block.voice = whole;
  dec.samples += block.samples.size();
}

DeviceSettings& ControlPlane::state_for(const SimDevice& device) {
  auto it = state_.find(device.i2c);
  if (it == state_.end()) it = state_.emplace(device.i2c, settings_from_fleet(device)).first;
  return it->second;
}

HttpReply ControlPlane::negotiate(const HandlerContext& c, const Fleet& fleet) {
  const SimDevice* device = fleet.find(c.params.get("i2c"));
  if (!device || device->tel != c.params.get("tel")) return {404, error_reply("no such device")};
  if (const std::string* pw = c.params.find("passwd"); pw && *pw != device->password) {
    XmlWriter xml;
    xml.open("Message").element("MSGTYPE", "ConnectInfo").element("ERROR", "PASSWD_ERROR");
    return {200, xml.finish()};
  }
  int number = 0;
  if (const std::string* text = c.params.find("channel")) {
    auto n = orvsim::number(*text);
    if (!n) return {400, error_reply("bad channel")};
    number = static_cast<int>(*n);
  }
  const SimChannel* ch = device->channel(number);
  if (!ch) return {404, error_reply("no such channel")};

  ConnectType type = ch->connect;
  // Without P2P the server falls back to its relay.
  if (type == ConnectType::client_monitor_p2p && c.params.get("p2p-open") == "false")
    type = ConnectType::client_monitor_middle_transfer;

  std::uint32_t session;
  {
    std::lock_guard lock(m_);
    session = next_session_++;
  }
  const std::string here = c.local.ip_text();
  XmlWriter xml;
  xml.open("Message").element("MSGTYPE", "ConnectInfo").open("ConnectInfo");
  xml.element("ConnectType", connect_type_text(type));
  const std::string random = option(*ch, "random", device->i2c + "x" + std::to_string(number));
  const std::string session_id = option(*ch, "session-id", std::to_string(session));
  switch (type) {
    case ConnectType::client_monitor_direct:
    case ConnectType::monitor_client_direct:
      xml.element("WAN-IP", option(*ch, "wan-ip", here));
      xml.element("LAN-IP", option(*ch, "lan-ip", here));
      xml.element("RtcpPort", option(*ch, "rtcp-port", std::to_string(7000 + number)));
      break;
    case ConnectType::client_monitor_p2p: {
      const auto ports = p2p_ports_ ? p2p_ports_() : std::vector<int>{};
      xml.element("IPv4", here);
      xml.element("Port", ports.empty() ? 0 : ports.front());
      xml.element("P2pPortDriftRange", c.params.get("p2p-port-drift-range"));
      break;
    }
    case ConnectType::client_monitor_middle_transfer:
      xml.element("TransitIP", option(*ch, "transit-ip", here));
      xml.element("TransitPort", option(*ch, "transit-port", std::to_string(7100 + number)));
      break;
  }
  xml.element("RandomValue", random);
  xml.element("SessionId", session_id);
  return {200, xml.finish()};
}

HttpReply ControlPlane::configure(const std::string& action, const HandlerContext& c,
                                  const Fleet& fleet) {
  const SimDevice* device = fleet.find(c.params.get("i2c"));
  if (!device || device->tel != c.params.get("tel")) return {404, error_reply("no such device")};
  if (c.params.get("transmit") != "true") return {400, error_reply("transmit=true is required")};
  const auto& p = c.params;
  int channel = 0;
  if (const std::string* text = p.find("channel")) {
    auto n = number(*text);
    if (!n) return {400, error_reply("bad channel")};
    channel = static_cast<int>(*n);
  }
  std::lock_guard lock(m_);
  DeviceSettings& s = state_for(*device);
  if (!s.error.empty()) return device_error(action, s.error);

  XmlWriter xml;
  xml.open("Message").element("MSGTYPE", action);
  if (action == "alarm") {
    if (p.get("alarm-query") == "true") {
      xml.element("AlarmQuery", switch_text(s.alarm));
      xml.element("MotionDetect", switch_text(s.motion_detect));
      xml.element("RecordType", switch_text(s.record_type));
      return {200, xml.finish()};
    }
    if (!p.has("alarm-open") || !p.has("motion-detect") || !p.has("record-type"))
      return {400, error_reply("alarm-open, motion-detect and record-type are required")};
    s.alarm = p.get("alarm-open") == "true";
    s.motion_detect = p.get("motion-detect") == "true";
    s.record_type = p.get("record-type") == "true";
    return ok_reply(action);
  }
  if (action == "gpsdata-get") {
    if (s.gps_track) {
      const std::chrono::duration<double> since = std::chrono::steady_clock::now() - started_;
      xml.element("RecvGpsData",
                  rmc_sentence(*s.gps_track, since.count(), std::chrono::system_clock::now()));
    } else {
      xml.element("RecvGpsData", s.gps);
    }
    return {200, xml.finish()};
  }
  if (action == "rs485-get") {
    const Rs485Settings r = s.rs485.count(channel) ? s.rs485[channel] : s.rs485_default;
    xml.element("BaudRate", r.baud_rate).element("DataBit", r.data_bit);
    xml.element("StopBit", r.stop_bit).element("Parity", r.parity);
    xml.element("Flowcontrol", r.flow_control).element("DecoderType", r.decoder_type);
    xml.element("DecoderAddress", r.decoder_address);
    return {200, xml.finish()};
  }
  if (action == "rs485-set") {
    Rs485Settings r;
    auto get = [&](const char* key, auto& out) {
      auto n = number(p.get(key));
      if (!n) return false;
      out = static_cast<std::remove_reference_t<decltype(out)>>(*n);
      return true;
    };
    if (!get("BaudRate", r.baud_rate) || !get("DataBit", r.data_bit) ||
        !get("StopBit", r.stop_bit) || !get("Parity", r.parity) ||
        !get("Flowcontrol", r.flow_control) || !get("DecoderType", r.decoder_type) ||
        !get("DecoderAddress", r.decoder_address))
      return {400, error_reply("all seven RS-485 values are required")};
    s.rs485[channel] = r;
    return ok_reply(action);
  }
  if (action == "tdnetcfg-get") {
    xml.element("allow_tel", s.allow_tel);
    return {200, xml.finish()};
  }
  if (action == "tdnetcfg-set") {
    const std::string numbers = p.get("New_num");
    auto len = number(p.get("len"));
    auto del = number(p.get("Del_Curr_Num"));
    if (!len || !del || *len != static_cast<long long>(platform::wide_from_cp936(numbers).size()))
      return {400, error_reply("len does not match New_num")};
    // A delete count replaces the list; none appends to it.
    if (*del > 0 || s.allow_tel.empty())
      s.allow_tel = numbers;
    else if (!numbers.empty())
      s.allow_tel += "," + numbers;
    return ok_reply(action);
  }
  if (action == "securitycfg-get") {
    xml.element("const_pwd", s.const_pwd).element("tmp_pwd", s.tmp_pwd);
    xml.element("emergency_tel", s.emergency_tel).element("status", "ok");
    return {200, xml.finish()};
  }
  if (action == "securitycfg-set") {
    if (p.get("org_pwd") != s.const_pwd) {
      xml.element("status", "org_pwd_error");
      return {200, xml.finish()};
    }
    if (p.get("const_pwd_set") == "1" || p.get("const_pwd_reset") == "1")
      s.const_pwd = p.get("new_pwd");
    if (p.get("emergency_tel_set") == "1") s.emergency_tel = p.get("emergency_tel");
    xml.element("status", "ok");
    return {200, xml.finish()};
  }
  return {404, error_reply("unknown command")};
}

HttpReply ControlPlane::audio(const HandlerContext& c, const Fleet& fleet) {
  const SimDevice* device = fleet.find(c.params.get("i2c"));
  if (!device || device->tel != c.params.get("tel")) return {404, error_reply("no such device")};
  AudioBlock block;
  block.i2c = c.params.get("i2c");
  block.tel = c.params.get("tel");
  block.buflen = c.params.get("buflen");
  block.data_buf = c.params.get("data_buf");
  AudioValue value = decode_audio_value(block.data_buf, block.buflen);
  block.bytes = std::move(value.bytes);
  block.bad = value.bad;
  std::string note;
  {
    std::lock_guard lock(m_);
    decode_voice(block);
    note = std::to_string(block.frames.size()) + " frame(s), " +
           std::to_string(block.samples.size()) + " samples";
    if (auto level = level_dbfs(block.samples))
      note += ", level " + std::to_string(*level) + " dBFS";
    else if (!block.samples.empty())
      note += ", silent";
    if (!block.voice) note += ", " + std::to_string(block.bytes.size()) + " bytes not voice";
    if (block.bad) note += ", bad data_buf";
    audio_.push_back(std::move(block));
    if (audio_.size() > kMaxAudioBlocks) audio_.pop_front();
  }
  if (log_) log_->note(ChannelKey{device->i2c, 0}, "voice: " + note);
  return ok_reply("audio_data");
}

}  // namespace orvsim
