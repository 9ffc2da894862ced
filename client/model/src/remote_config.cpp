#include "model/remote_config.h"

#include <algorithm>
#include <mutex>
#include <type_traits>
#include <variant>

#include "platform/text.h"

namespace model {
namespace {

using namespace std::string_view_literals;

constexpr std::array kChannels{u"0"sv, u"1"sv, u"2"sv, u"3"sv};
constexpr std::array kFrameRates{u"1"sv, u"3"sv, u"5"sv, u"10"sv, u"15"sv, u"20"sv, u"25"sv};
constexpr std::array kBitRates{u"32"sv,  u"64"sv,  u"96"sv,  u"128"sv, u"160"sv,
                               u"192"sv, u"224"sv, u"512"sv, u"1024"sv};
constexpr std::array kStreamTypes{u"实时流"sv, u"录像流"sv};
constexpr std::array kVideoFormats{u"QCIF"sv, u"CIF"sv, u"D1"sv};
constexpr std::array kVideoTypes{u"视频流"sv, u"音频流"sv, u"复合流"sv};
constexpr std::array kBaudRates{u"50"sv,    u"75"sv,    u"110"sv,   u"150"sv,   u"300"sv,
                                u"600"sv,   u"1200"sv,  u"2400"sv,  u"4800"sv,  u"9600"sv,
                                u"19200"sv, u"38400"sv, u"57600"sv, u"76800"sv, u"115.2k"sv};
constexpr std::array kDataBits{u"5"sv, u"6"sv, u"7"sv, u"8"sv};
constexpr std::array kStopBits{u"1"sv, u"2"sv};
constexpr std::array kParities{u"无校验"sv, u"奇校验"sv, u"偶校验"sv};
constexpr std::array kFlowControls{u"无"sv, u"软流控"sv, u"硬流控"sv};
constexpr std::array kDecoderTypes{u"YouLi"sv,
                                   u"LiLin-1016"sv,
                                   u"LiLin-820"sv,
                                   u"Pelco-p"sv,
                                   u"DM DynaColor"sv,
                                   u"HD600"sv,
                                   u"JC-4116"sv,
                                   u"Pelco-d WX"sv,
                                   u"Pelco-d PICO"sv,
                                   u"VCOM_VC_2000"sv,
                                   u"NETSTREAMER"sv,
                                   u"SAE"sv,
                                   u"SAMSUNG"sv,
                                   u"KALATEL_KTD_312"sv,
                                   u"YAAN_CELOTEX"sv,
                                   u"TLPELCO_P"sv,
                                   u"TL_HHX2000"sv,
                                   u"BBV"sv,
                                   u"RM110"sv,
                                   u"KC3360S"sv,
                                   u"ACES"sv,
                                   u"ALSON"sv,
                                   u"INV3609HD"sv,
                                   u"HOWELL"sv,
                                   u"TC_PELCO_P"sv,
                                   u"TC_PELCO_D"sv,
                                   u"AUTO_M"sv,
                                   u"AUTO_H"sv,
                                   u"ANTEN"sv,
                                   u"CHANGLIN"sv,
                                   u"DELTADOME"sv,
                                   u"XYM_12"sv,
                                   u"ADR8060"sv,
                                   u"EVI"sv,
                                   u"Demo_Speed"sv,
                                   u"DM_PELCO_D"sv,
                                   u"ST_832"sv,
                                   u"LC_D2104"sv,
                                   u"HUNTER"sv,
                                   u"A01"sv,
                                   u"TECHWIN"sv,
                                   u"WEIHAN"sv,
                                   u"LG"sv,
                                   u"D_MAX"sv,
                                   u"PANASONIC"sv,
                                   u"KTD_348"sv,
                                   u"INFINOVA"sv,
                                   u"PIH-7625"sv,
                                   u"IDOME/IVIEW/LCU"sv,
                                   u"Dennar_dDome"sv,
                                   u"Philips"sv,
                                   u"SAMPLE"sv,
                                   u"PLD"sv,
                                   u"PARCO"sv,
                                   u"HY"sv,
                                   u"行业标准"sv};
static_assert(kDecoderTypes.size() == 56);

constexpr std::array<std::uint32_t, kBaudRates.size()> kBaudValues{
    50, 75, 110, 150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 76800, 115200};
constexpr std::array<std::uint8_t, kDataBits.size()> kDataBitValues{5, 6, 7, 8};
constexpr std::array<std::uint8_t, kStopBits.size()> kStopBitValues{1, 2};
constexpr std::array<std::uint8_t, kParities.size()> kParityLetters{'N', 'O', 'E'};

// A new channel's settings stand in for indexes outside their lists.
constexpr int kDefaultFormat = 1, kDefaultFrameRate = 5, kDefaultBitRate = 3, kDefaultBaud = 9,
              kDefaultDataBits = 3, kDefaultDecoder = 7;

int in_list(int index, std::size_t count, int fallback) {
  return index >= 0 && static_cast<std::size_t>(index) < count ? index : fallback;
}

bool valid_channel(int channel) {
  return channel >= 0 && channel < kChannelsPerServer;
}

bool digits_only(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

void store_video(ChannelRecord& c, const VideoSettings& v) {
  c.video_format_index = v.format;
  c.stream_type_index = v.stream_type;
  c.frame_rate_index = v.frame_rate;
  c.video_type_index = v.video_type;
  c.bit_rate_index = v.bit_rate;
}

void store_ptz(ChannelRecord& c, const PtzSettings& p) {
  c.baud_rate_index = p.baud_rate;
  c.data_bits_index = p.data_bits;
  c.stop_bits_index = p.stop_bits;
  c.parity_index = p.parity;
  c.flow_control_index = p.flow_control;
  c.decoder_type_index = p.decoder_type;
  c.decoder_address = p.decoder_address;
}

void put_le(Rs485Record& r, std::size_t at, std::size_t size, std::uint32_t v) {
  for (std::size_t i = 0; i < size; ++i) r[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

Items channel_items() {
  return kChannels;
}
Items frame_rate_items() {
  return kFrameRates;
}
Items bit_rate_items() {
  return kBitRates;
}
Items stream_type_items() {
  return kStreamTypes;
}
Items video_format_items() {
  return kVideoFormats;
}
Items video_type_items() {
  return kVideoTypes;
}
Items baud_rate_items() {
  return kBaudRates;
}
Items data_bits_items() {
  return kDataBits;
}
Items stop_bits_items() {
  return kStopBits;
}
Items parity_items() {
  return kParities;
}
Items flow_control_items() {
  return kFlowControls;
}
Items decoder_type_items() {
  return kDecoderTypes;
}

Rs485Record rs485_record(const PtzSettings& s) {
  Rs485Record r{};
  const std::uint32_t baud = kBaudValues[in_list(s.baud_rate, kBaudValues.size(), kDefaultBaud)];
  put_le(r, 0, 4, baud);
  r[4] = kDataBitValues[in_list(s.data_bits, kDataBitValues.size(), kDefaultDataBits)];
  r[5] = kStopBitValues[in_list(s.stop_bits, kStopBitValues.size(), 0)];
  r[6] = kParityLetters[in_list(s.parity, kParityLetters.size(), 0)];
  r[7] = 0;  // flow control is kept by the client only
  put_le(
      r, 8, 2,
      static_cast<std::uint32_t>(in_list(s.decoder_type, kDecoderTypes.size(), kDefaultDecoder)));
  put_le(r, 10, 2, static_cast<std::uint32_t>(std::clamp(s.decoder_address, 0, 0xFFFF)));
  return r;
}

std::string DeviceConfig::gps_data(long, long) {
  return {};
}

DeviceResult run_device_request(DeviceConfig& device, const DeviceRequest& request) {
  DeviceResult out;
  out.request = request;
  auto authenticate = [&](const DeviceTarget& t) {
    return device.user_anthenticate(t.device_id, static_cast<int>(t.device_id.size()), t.phone,
                                    t.server, t.port, kDeviceCallTimeoutSeconds);
  };
  std::visit(
      [&](const auto& r) {
        using R = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<R, AlarmQuery>) {
          int inside = 0, perimeter = 0, recording = 0;
          out.result = authenticate(r.target);
          if (out.result != 0)
            out.result = device.get_alarm_cfg(r.target.device_id, r.target.phone, r.target.server,
                                              r.target.port, inside, perimeter, recording);
          out.arming = {inside != 0, perimeter != 0, recording != 0};
        } else if constexpr (std::is_same_v<R, AlarmSet>) {
          out.result = authenticate(r.target);
          if (out.result != 0)
            out.result = device.alarm_open(r.target.device_id, r.target.phone, r.target.server,
                                           r.target.port, r.arming.inside, r.arming.perimeter,
                                           r.arming.recording, 0);
          out.arming = r.arming;
        } else if constexpr (std::is_same_v<R, Rs485Set>) {
          out.result = device.set_rs485_cfg(r.handle, r.channel, r.record);
        } else {
          static const std::string kNoEmergencyNumber(11, '0');
          out.result = device.set_security_cfg(r.handle, 0, 1, 0, kPasswordLength, r.old_password,
                                               r.new_password, 0, 0, kNoEmergencyNumber);
        }
      },
      request);
  return out;
}

std::optional<GpsQuery> RemoteDevConfig::gps_query() const {
  long handle = -1;
  {
    std::lock_guard lock(state_.table_mutex);
    handle = record().login_handle;
  }
  if (handle < 0) return std::nullopt;
  return GpsQuery{handle, 0};
}

RemoteDevConfig::RemoteDevConfig(ClientState& state, int server, MessageSink& messages)
    : state_(state), server_(server), messages_(messages) {
  pending_ = device_info();
}

ServerRecord& RemoteDevConfig::record() {
  return server_ >= 0 && server_ < kMaxServers ? state_.servers.servers[server_] : scratch_;
}

const ServerRecord& RemoteDevConfig::record() const {
  return server_ >= 0 && server_ < kMaxServers ? state_.servers.servers[server_] : scratch_;
}

DeviceInfo RemoteDevConfig::device_info() const {
  std::lock_guard lock(state_.table_mutex);
  const ServerRecord& s = record();
  return {s.display_name, s.device_id, s.auth_address, s.auth_port, s.allowed_caller, s.phone};
}

VideoSettings RemoteDevConfig::video(int channel) const {
  if (!valid_channel(channel)) return {};
  std::lock_guard lock(state_.table_mutex);
  const ChannelRecord& c = record().channels[channel];
  return {in_list(c.video_format_index, kVideoFormats.size(), kDefaultFormat),
          in_list(c.stream_type_index, kStreamTypes.size(), 0),
          in_list(c.frame_rate_index, kFrameRates.size(), kDefaultFrameRate),
          in_list(c.video_type_index, kVideoTypes.size(), 0),
          in_list(c.bit_rate_index, kBitRates.size(), kDefaultBitRate),
          c.name};
}

PtzSettings RemoteDevConfig::ptz(int channel) const {
  if (!valid_channel(channel)) return {};
  std::lock_guard lock(state_.table_mutex);
  const ChannelRecord& c = record().channels[channel];
  return {in_list(c.baud_rate_index, kBaudRates.size(), kDefaultBaud),
          in_list(c.data_bits_index, kDataBits.size(), kDefaultDataBits),
          in_list(c.stop_bits_index, kStopBits.size(), 0),
          in_list(c.parity_index, kParities.size(), 0),
          in_list(c.flow_control_index, kFlowControls.size(), 0),
          in_list(c.decoder_type_index, kDecoderTypes.size(), kDefaultDecoder),
          std::clamp(c.decoder_address, 0, 0xFFFF)};
}

Arming RemoteDevConfig::arming() const {
  std::lock_guard lock(state_.table_mutex);
  const ServerRecord& s = record();
  return {s.switch1 != 0, s.switch2 != 0, s.switch3 != 0};
}

void RemoteDevConfig::save_video(int channel, const VideoSettings& shown) {
  if (!valid_channel(channel)) return;
  std::lock_guard lock(state_.table_mutex);
  ChannelRecord& c = record().channels[channel];
  store_video(c, shown);
  c.name = shown.name;
}

void RemoteDevConfig::copy_video_to_all(const VideoSettings& shown) {
  std::lock_guard lock(state_.table_mutex);
  for (ChannelRecord& c : record().channels)
    if (c.channel_index >= 0) store_video(c, shown);
}

void RemoteDevConfig::copy_ptz_to_all(const PtzSettings& shown) {
  std::lock_guard lock(state_.table_mutex);
  for (ChannelRecord& c : record().channels)
    if (c.channel_index >= 0) store_ptz(c, shown);
}

Rs485Set RemoteDevConfig::save_ptz(int channel, const PtzSettings& shown) {
  std::lock_guard lock(state_.table_mutex);
  if (valid_channel(channel)) store_ptz(record().channels[channel], shown);
  return {record().login_handle, channel, rs485_record(shown)};
}

DeviceTarget RemoteDevConfig::target(std::u16string_view device_id) const {
  std::lock_guard lock(state_.table_mutex);
  const ServerRecord& s = record();
  return {platform::cp936_from_u16(device_id), s.phone, s.auth_address, s.auth_port};
}

AlarmQuery RemoteDevConfig::query_alarm(std::u16string_view device_id) const {
  return {target(device_id)};
}

AlarmSet RemoteDevConfig::save_arming(std::u16string_view device_id, const Arming& shown) const {
  return {target(device_id), shown};
}

std::optional<PasswordSet> RemoteDevConfig::change_password(const PasswordForm& form) {
  struct Check {
    const std::u16string& text;
    std::u16string_view wrong_length;
  };
  const Check checks[] = {{form.old_password, u"请输入6位的原密码!"},
                          {form.new_password, u"请输入6位新的密码!"},
                          {form.confirm, u"请输入6位确认密码!"}};
  for (const Check& c : checks) {
    if (c.text.size() != kPasswordLength) {
      messages_.info(c.wrong_length);
      return std::nullopt;
    }
    if (!digits_only(c.text)) {
      messages_.info(u"密码只能为数字，请输入有效的密码!");
      return std::nullopt;
    }
  }
  if (form.confirm != form.new_password) {
    messages_.info(u"确认密码与新密码不相符!");
    return std::nullopt;
  }
  std::lock_guard lock(state_.table_mutex);
  return PasswordSet{record().login_handle, platform::cp936_from_u16(form.old_password),
                     platform::cp936_from_u16(form.new_password)};
}

std::optional<Arming> RemoteDevConfig::apply(const DeviceResult& done) {
  auto store = [&](const Arming& a) {
    std::lock_guard lock(state_.table_mutex);
    ServerRecord& s = record();
    s.switch1 = a.inside;
    s.switch2 = a.perimeter;
    s.switch3 = a.recording;
  };
  if (std::holds_alternative<AlarmQuery>(done.request)) {
    // Zeros after a failure too: the device's state is unknown then.
    store(done.arming);
    messages_.info(done.result != 0 ? kUpdateOk : kUpdateFailed);
    return done.arming;
  }
  if (std::holds_alternative<AlarmSet>(done.request)) {
    if (done.result != 0) store(done.arming);
    messages_.info(done.result != 0 ? kSaveOk : kSaveFailed);
  } else if (std::holds_alternative<Rs485Set>(done.request)) {
    if (done.result == 0) messages_.info(kRs485Failed);
  } else {
    messages_.info(done.result == 1 ? kPasswordSet : kPasswordNotSet);
    if (done.result == -1) messages_.info(kWrongPassword);
  }
  return std::nullopt;
}

void RemoteDevConfig::mark_changed(const DeviceInfo& shown) {
  pending_ = shown;
  changed_ = true;
}

void RemoteDevConfig::save_params() {
  if (changed_) {
    std::lock_guard lock(state_.table_mutex);
    ServerRecord& s = record();
    s.name = pending_.name;
    s.display_name = pending_.name;
    s.device_id = pending_.device_id;
    s.auth_address = pending_.auth_address;
    s.auth_port = pending_.auth_port;
    s.phone = pending_.phone;
    s.allowed_caller = pending_.allowed_caller;
    changed_ = false;
  }
  messages_.info(kParamsSaved);
}

}  // namespace model
