#include "model/config_files.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <optional>

#include "platform/files.h"
#include "platform/text.h"

namespace model {
namespace {

// ---- writing ----

class LineWriter {
 public:
  void bytes(std::string_view value) {
    // A line break inside a value would shift every later line of the file.
    for (char c : value) out_ += (c == '\r' || c == '\n') ? '?' : c;
    out_ += "\r\r\n";
  }
  void number(long long value) { bytes(std::to_string(value)); }
  void latin1(std::u16string_view value) { bytes(platform::latin1_from_u16(value)); }
  void cp936(std::u16string_view value) { bytes(platform::cp936_from_u16(value)); }
  void split(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    number(static_cast<std::int32_t>(value) >> 16);
    number(u & 0xFFFF);
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

std::u16string scramble(std::u16string_view password) {
  std::u16string out(password);
  for (auto& c : out) c = static_cast<char16_t>(c + kDevicePasswordConstant);
  return out;
}

std::u16string unscramble(std::u16string_view text) {
  std::u16string out(text.substr(0, std::min(text.size(), kDevicePasswordMax)));
  for (auto& c : out) c = static_cast<char16_t>(c - kDevicePasswordConstant);
  return out;
}

// ---- reading ----

class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : rest_(bytes) {}
  // Next complete line (one ending in LF) without its line end; nothing at the
  // end of the data or when only an unfinished line is left.
  std::optional<std::string_view> next() {
    const auto lf = rest_.find('\n');
    if (lf == std::string_view::npos) return std::nullopt;
    std::string_view line = rest_.substr(0, lf);
    rest_.remove_prefix(lf + 1);
    for (int i = 0; i < 2 && !line.empty() && line.back() == '\r'; ++i) line.remove_suffix(1);
    return line;
  }

 private:
  std::string_view rest_;
};

std::u16string latin1(std::string_view line) {
  return platform::u16_from_latin1(line);
}
std::u16string cp936(std::string_view line) {
  return platform::u16_from_cp936(line);
}

// Reads the two 16-bit halves of a split int; false (value kept) at the end of the data.
bool read_split(LineReader& in, std::int32_t& value) {
  auto hi = in.next();
  if (!hi) return false;
  auto lo = in.next();
  if (!lo) return false;
  const auto high = static_cast<std::uint32_t>(line_number(*hi));
  value = static_cast<std::int32_t>(high * 65536u + static_cast<std::uint32_t>(line_number(*lo)));
  return true;
}

// Skips n lines of a record that is not stored.
void skip(LineReader& in, int n) {
  for (int i = 0; i < n; ++i)
    if (!in.next()) return;
}

constexpr int kServerLines = 25;
constexpr int kChannelLines = 33;

void read_server(LineReader& in, ServerTable& table) {
  auto seq = in.next();
  if (!seq) return;
  const std::int32_t index = line_number(*seq);
  if (index < 0 || index >= kMaxServers) {
    skip(in, kServerLines - 2);
    return;
  }
  ServerRecord& s = table.servers[index];
  std::optional<std::string_view> l;
#define NEXT_OR_RETURN \
  if (!(l = in.next())) return
  NEXT_OR_RETURN;
  s.user_name = latin1(*l);
  NEXT_OR_RETURN;
  s.user_password = latin1(*l);
  NEXT_OR_RETURN;
  s.channel_count = line_number(*l);
  NEXT_OR_RETURN;
  s.address = latin1(*l);
  if (!read_split(in, s.address_extra)) return;
  NEXT_OR_RETURN;
  s.second_address = latin1(*l);
  if (!read_split(in, s.second_address_extra)) return;
  NEXT_OR_RETURN;
  s.name = cp936(*l);
  NEXT_OR_RETURN;
  s.port = static_cast<std::uint16_t>(line_number(*l));
  NEXT_OR_RETURN;
  s.display_name = cp936(*l);
  NEXT_OR_RETURN;
  s.device_id = latin1(*l);
  NEXT_OR_RETURN;
  s.auth_address = latin1(*l);
  if (!read_split(in, s.auth_extra)) return;
  NEXT_OR_RETURN;
  s.auth_port = line_number(*l);
  NEXT_OR_RETURN;
  s.phone = latin1(*l);
  NEXT_OR_RETURN;
  s.allowed_caller = latin1(*l);
  NEXT_OR_RETURN;
  s.switch1 = line_number(*l);
  NEXT_OR_RETURN;
  s.switch2 = line_number(*l);
  NEXT_OR_RETURN;
  s.switch3 = line_number(*l);
  NEXT_OR_RETURN;
  s.device_password = unscramble(latin1(*l));
}

void read_channel(LineReader& in, ServerTable& table) {
  auto seq = in.next();
  if (!seq) return;
  auto pos = in.next();
  if (!pos) return;
  const std::int32_t server = line_number(*seq);
  const std::int32_t position = line_number(*pos);
  if (server < 0 || server >= kMaxServers || position < 0 || position >= kChannelsPerServer) {
    skip(in, kChannelLines - 3);
    return;
  }
  ChannelRecord& c = table.servers[server].channels[position];
  c.server_index = server;
  c.channel_number = position;
  std::optional<std::string_view> l;
  auto num = [&](std::int32_t& field) {
    if (!(l = in.next())) return false;
    field = line_number(*l);
    return true;
  };
  if (!num(c.listed) || !num(c.state) || !num(c.flag) || !num(c.channel_index)) return;
  NEXT_OR_RETURN;
  c.address = latin1(*l);
  if (!read_split(in, c.address_extra)) return;
  NEXT_OR_RETURN;
  c.auxiliary = static_cast<std::uint16_t>(line_number(*l));
  NEXT_OR_RETURN;
  c.text = latin1(*l);
  if (!read_split(in, c.extra)) return;
  NEXT_OR_RETURN;
  c.name = cp936(*l);
  if (!num(c.enabled)) return;
  NEXT_OR_RETURN;
  c.user_password = latin1(*l);
  NEXT_OR_RETURN;
  c.user_name = latin1(*l);
  NEXT_OR_RETURN;
  c.port = static_cast<std::uint16_t>(line_number(*l));
  for (std::int32_t* f :
       {&c.play_list_position, &c.ptz_channel, &c.video_format_index, &c.frame_rate_index,
        &c.bit_rate_index, &c.stream_type_index, &c.video_type_index, &c.baud_rate_index,
        &c.data_bits_index, &c.stop_bits_index, &c.parity_index, &c.flow_control_index,
        &c.decoder_type_index, &c.decoder_address})
    if (!num(*f)) return;
#undef NEXT_OR_RETURN
}

std::optional<std::string> read_whole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A missing file is created empty, so the next start finds one.
void create_empty(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) platform::write_file_atomic(path, {});
}

}  // namespace

std::int32_t line_number(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' ||
                             line[i] == '\n' || line[i] == '\v' || line[i] == '\f'))
    ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
  long long v = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    v = v * 10 + (line[i] - '0');
    if (v > (1LL << 32)) break;  // saturates below
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

std::string format_channel_cfg(const ServerTable& table) {
  LineWriter w;
  for (int i = 0; i < kMaxServers && table.servers[i].used(); ++i) {
    const ServerRecord& s = table.servers[i];
    w.bytes("$S");
    w.number(i);
    w.latin1(s.user_name);
    w.latin1(s.user_password);
    w.number(s.channel_count);
    w.latin1(s.address);
    w.split(s.address_extra);
    w.latin1(s.second_address);
    w.split(s.second_address_extra);
    w.cp936(s.name);
    w.number(s.port);
    w.cp936(s.display_name);
    w.latin1(s.device_id);
    w.latin1(s.auth_address);
    w.split(s.auth_extra);
    w.number(s.auth_port);
    w.latin1(s.phone);
    w.latin1(s.allowed_caller);
    w.number(s.switch1);
    w.number(s.switch2);
    w.number(s.switch3);
    w.latin1(scramble(s.device_password));
    for (int k = 0; k < kChannelsPerServer && s.channels[k].channel_index != -1; ++k) {
      const ChannelRecord& c = s.channels[k];
      w.bytes("$C");
      w.number(i);
      w.number(k);
      w.number(c.listed);
      w.number(c.state);
      w.number(c.flag);
      w.number(c.channel_index);
      w.latin1(c.address);
      w.split(c.address_extra);
      w.number(c.auxiliary);
      w.bytes("0");
      w.split(c.extra);
      w.cp936(c.name);
      w.number(c.enabled);
      w.latin1(c.user_password);
      w.latin1(c.user_name);
      w.number(c.port);
      for (std::int32_t v :
           {c.play_list_position, c.ptz_channel, c.video_format_index, c.frame_rate_index,
            c.bit_rate_index, c.stream_type_index, c.video_type_index, c.baud_rate_index,
            c.data_bits_index, c.stop_bits_index, c.parity_index, c.flow_control_index,
            c.decoder_type_index, c.decoder_address})
        w.number(v);
    }
  }
  return w.take();
}

void parse_channel_cfg(std::string_view bytes, ServerTable& table) {
  LineReader in(bytes);
  while (auto marker = in.next()) {
    if (marker->size() >= 2 && (*marker)[1] == 'S')
      read_server(in, table);
    else
      read_channel(in, table);
  }
}

bool read_channel_cfg(const std::filesystem::path& folder, ServerTable& table,
                      PlayList& play_list) {
  const auto path = folder / kChannelFileName;
  auto bytes = read_whole(path);
  if (!bytes) {
    create_empty(path);
    return false;
  }
  play_list.count = 0;
  parse_channel_cfg(*bytes, table);
  return true;
}

bool write_channel_cfg(const std::filesystem::path& folder, const ServerTable& table) {
  return platform::write_file_atomic(folder / kChannelFileName, format_channel_cfg(table));
}

// ---- "ClientCfg.dat" ----

std::string format_client_cfg(const ClientSettings& s) {
  LineWriter w;
  for (std::int32_t v : {s.cycle_time, s.cycle_play, s.hardware_decoding, s.pack_minutes,
                         s.auto_record, s.cyclic_record, s.start_drive, s.end_drive})
    w.number(v);
  // Paths go in code page 936 like names, so Chinese folder names survive.
  w.cp936(s.download_folder);
  w.cp936(s.snapshot_folder);
  w.cp936(s.log_folder);
  for (std::int32_t v :
       {s.time_sync, s.time_sync_time, s.motion_record, s.motion_popup, s.alarm_duration,
        s.pre_record, s.switch_record, s.switch_format, s.switch_time, s.occlusion_record,
        s.occlusion_format, s.occlusion_time, s.pre_record_time, s.reserved_flag})
    w.number(v);
  if (s.alarm_sound == 1) {
    w.number(1);
    w.cp936(s.alarm_sound_file);
  } else {
    w.number(0);
  }
  for (const auto& day : s.plan)
    for (const auto& seg : day) {
      w.number(seg.start);
      w.number(seg.end);
    }
  return w.take();
}

void parse_client_cfg(std::string_view bytes, ClientSettings& s) {
  LineReader in(bytes);
  std::optional<std::string_view> l;
  auto num = [&](std::int32_t& field) {
    if (!(l = in.next())) return false;
    field = line_number(*l);
    return true;
  };
  auto flag = [&](std::int32_t& field) {
    if (!(l = in.next())) return false;
    field = line_number(*l) == 1 ? 1 : 0;
    return true;
  };
  auto text = [&](std::u16string& field) {
    if (!(l = in.next())) return false;
    field = cp936(*l);
    return true;
  };
  auto not_negative = [](std::int32_t& v, std::int32_t fallback) {
    if (v < 0) v = fallback;
  };

  if (!num(s.cycle_time)) return;
  if (s.cycle_time < 5) s.cycle_time = 5;
  if (!flag(s.cycle_play) || !flag(s.hardware_decoding) || !num(s.pack_minutes)) return;
  if (s.pack_minutes > 60) s.pack_minutes = 60;
  // No pack time below a minute: 0 or less would restart the files at every check.
  if (s.pack_minutes < 1) s.pack_minutes = 60;
  if (!flag(s.auto_record) || !flag(s.cyclic_record) || !num(s.start_drive) || !num(s.end_drive) ||
      !text(s.download_folder) || !text(s.snapshot_folder) || !text(s.log_folder) ||
      !flag(s.time_sync) || !num(s.time_sync_time))
    return;
  not_negative(s.time_sync_time, 0);
  if (!flag(s.motion_record) || !flag(s.motion_popup) || !num(s.alarm_duration)) return;
  not_negative(s.alarm_duration, 30);
  if (!flag(s.pre_record) || !flag(s.switch_record) || !num(s.switch_format)) return;
  not_negative(s.switch_format, 0);
  if (!num(s.switch_time)) return;
  not_negative(s.switch_time, 30);
  if (!flag(s.occlusion_record) || !num(s.occlusion_format)) return;
  not_negative(s.occlusion_format, 0);
  if (!num(s.occlusion_time)) return;
  not_negative(s.occlusion_time, 30);
  if (!num(s.pre_record_time)) return;
  not_negative(s.pre_record_time, 30);
  if (!flag(s.reserved_flag)) return;

  const std::u16string default_sound = ClientSettings{}.alarm_sound_file;
  std::int32_t sound = 0;
  if (!num(sound)) return;
  s.alarm_sound = 0;
  s.alarm_sound_file = default_sound;
  if (sound == 1) {
    std::u16string path;
    if (!text(path)) return;
    if (path.size() >= 3) {
      s.alarm_sound = 1;
      s.alarm_sound_file = path;
    }
  }

  s.plan = WeeklyPlan{};
  int n = 0;
  while (n < kPlanDays * kSegmentsPerDay * 2 && (l = in.next())) {
    PlanSegment& seg = s.plan[n / (kSegmentsPerDay * 2)][(n / 2) % kSegmentsPerDay];
    const auto v = static_cast<std::uint16_t>(line_number(*l));
    (n % 2 == 0 ? seg.start : seg.end) = v;
    ++n;
  }
  for (auto& day : s.plan)
    for (auto& seg : day) {
      seg.start_hour = seg.start / 100;
      seg.start_minute = seg.start % 100;
      seg.end_hour = seg.end / 100;
      seg.end_minute = seg.end % 100;
    }
}

bool read_client_cfg(const std::filesystem::path& folder, ClientSettings& settings) {
  const auto path = folder / kClientFileName;
  auto bytes = read_whole(path);
  if (!bytes) {
    create_empty(path);
    return false;
  }
  parse_client_cfg(*bytes, settings);
  return true;
}

bool write_client_cfg(const std::filesystem::path& folder, const ClientSettings& settings) {
  return platform::write_file_atomic(folder / kClientFileName, format_client_cfg(settings));
}

}  // namespace model
