#include "fleet.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/net.h"

namespace orvsim {
namespace {

constexpr std::string_view kTypeTexts[] = {
    "client-monitor-direct",
    "monitor-client-direct",
    "client-monitor-p2p",
    "client-monitor-middle-transfer",
};

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::vector<std::string_view> split_words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i >= line.size()) break;
    std::size_t start = i;
    while (i < line.size() && !is_blank(line[i])) ++i;
    words.push_back(line.substr(start, i - start));
  }
  return words;
}

std::string_view strip_comment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] == '#' && (i == 0 || is_blank(line[i - 1]))) return line.substr(0, i);
  return line;
}

std::optional<int> parse_int(std::string_view s) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

bool has_control_byte(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

// Rest of the line after the first `skip` words, blanks around it removed.
std::string_view rest_after_words(std::string_view line, int skip) {
  std::size_t i = 0;
  for (int w = 0; w < skip; ++w) {
    while (i < line.size() && is_blank(line[i])) ++i;
    while (i < line.size() && !is_blank(line[i])) ++i;
  }
  while (i < line.size() && is_blank(line[i])) ++i;
  std::size_t end = line.size();
  while (end > i && is_blank(line[end - 1])) --end;
  return line.substr(i, end - i);
}

}  // namespace

std::string_view connect_type_text(ConnectType type) {
  return kTypeTexts[static_cast<int>(type)];
}

std::optional<ConnectType> parse_connect_type(std::string_view text) {
  for (int i = 0; i < 4; ++i)
    if (kTypeTexts[i] == text) return static_cast<ConnectType>(i);
  return std::nullopt;
}

const SimChannel* SimDevice::channel(int number) const {
  for (const auto& c : channels)
    if (c.number == number) return &c;
  return nullptr;
}

const SimDevice* Fleet::find(std::string_view i2c) const {
  for (const auto& d : devices)
    if (d.i2c == i2c) return &d;
  return nullptr;
}

int Fleet::self_responders() const {
  int n = 0;
  for (const auto& s : p2p_servers) n += s.self ? 1 : 0;
  return p2p_servers.empty() ? 1 : n;
}

FleetResult parse_fleet(std::string_view text) {
  Fleet fleet;
  std::set<std::string> ids;
  int number = 0;
  auto fail = [&](const std::string& why) {
    FleetResult r;
    r.error = "line " + std::to_string(number) + ": " + why;
    return r;
  };

  std::size_t pos = 0;
  while (pos < text.size()) {
    ++number;
    std::size_t nl = text.find('\n', pos);
    std::string_view raw =
        text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    if (raw.find('\0') != std::string_view::npos) return fail("NUL byte in line");
    std::string_view line = strip_comment(raw);
    auto words = split_words(line);
    if (words.empty()) continue;
    std::string_view keyword = words[0];

    if (keyword == "p2p-server") {
      P2pServerEntry entry;
      if (words.size() == 2 && words[1] == "self") {
        entry.self = true;
      } else if (words.size() == 3) {
        if (!platform::parse_dotted(words[1]))
          return fail("p2p-server address is not a dotted IPv4 address: " + std::string(words[1]));
        auto port = parse_int(words[2]);
        if (!port || *port < 1 || *port > 65535)
          return fail("p2p-server port must be 1-65535: " + std::string(words[2]));
        entry.self = false;
        entry.ip = std::string(words[1]);
        entry.port = *port;
      } else {
        return fail("expected \"p2p-server self\" or \"p2p-server <ip> <port>\"");
      }
      fleet.p2p_servers.push_back(std::move(entry));
    } else if (keyword == "device") {
      if (words.size() != 4) return fail("expected \"device <i2c> <tel> <password>\"");
      for (auto w : {words[1], words[2], words[3]})
        if (has_control_byte(w)) return fail("control character in device line");
      std::string i2c(words[1]);
      if (!ids.insert(i2c).second) return fail("device " + i2c + " is listed twice");
      SimDevice device;
      device.i2c = i2c;
      device.tel = std::string(words[2]);
      device.password = words[3] == "-" ? std::string() : std::string(words[3]);
      fleet.devices.push_back(std::move(device));
    } else if (keyword == "channel") {
      if (fleet.devices.empty()) return fail("channel before any device");
      if (words.size() < 3) return fail("expected \"channel <n> <connect-type> [key=value ...]\"");
      auto n = parse_int(words[1]);
      if (!n || *n < 0 || *n > 15)
        return fail("channel number must be 0-15: " + std::string(words[1]));
      auto type = parse_connect_type(words[2]);
      if (!type) return fail("unknown connect type: " + std::string(words[2]));
      SimDevice& device = fleet.devices.back();
      if (device.channel(*n))
        return fail("channel " + std::to_string(*n) + " of device " + device.i2c +
                    " is listed twice");
      SimChannel channel;
      channel.number = *n;
      channel.connect = *type;
      for (std::size_t i = 3; i < words.size(); ++i) {
        std::size_t eq = words[i].find('=');
        if (eq == std::string_view::npos || eq == 0)
          return fail("expected key=value, got: " + std::string(words[i]));
        channel.options[std::string(words[i].substr(0, eq))] = std::string(words[i].substr(eq + 1));
      }
      device.channels.push_back(std::move(channel));
    } else if (keyword == "set") {
      if (fleet.devices.empty()) return fail("set before any device");
      if (words.size() < 3) return fail("expected \"set <key> <value>\"");
      fleet.devices.back().settings[std::string(words[1])] = std::string(rest_after_words(line, 2));
    } else {
      return fail("unknown statement: " + std::string(keyword));
    }
  }
  FleetResult r;
  r.fleet = std::move(fleet);
  return r;
}

FleetResult load_fleet(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    FleetResult r;
    r.error = "cannot open fleet file " + path;
    return r;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string content = text.str();
  constexpr std::size_t kLimit = 4 * 1024 * 1024;
  if (content.size() > kLimit) {
    FleetResult r;
    r.error = "fleet file " + path + " is larger than 4 MiB";
    return r;
  }
  FleetResult r = parse_fleet(content);
  if (!r.ok()) r.error = path + ": " + r.error;
  return r;
}

std::string fleet_summary(const Fleet& fleet) {
  std::ostringstream out;
  out << fleet.devices.size() << (fleet.devices.size() == 1 ? " device" : " devices") << "\n";
  for (const auto& d : fleet.devices) {
    out << "  device " << d.i2c << "  tel " << d.tel << "  " << d.channels.size()
        << (d.channels.size() == 1 ? " channel" : " channels") << "\n";
    for (const auto& c : d.channels) {
      out << "    channel " << c.number << ": " << connect_type_text(c.connect);
      for (const auto& [k, v] : c.options) out << " " << k << "=" << v;
      out << "\n";
    }
    for (const auto& [k, v] : d.settings) out << "    set " << k << " " << v << "\n";
  }
  return out.str();
}

}  // namespace orvsim
