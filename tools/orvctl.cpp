// orvctl: logs a device in through its authentication server, negotiates
// channels, reads and writes the device's settings and sends talkback data;
// plays channels into headless windows, records, takes pictures and sends
// PTZ commands over the live session.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/headless_window.h"
#include "platform/text.h"
#include "record_scan.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace {

constexpr const char* kUsage =
    "usage: orvctl --server HOST --port N --i2c ID --tel PHONE [--passwd PW] [--timeout S]\n"
    "              COMMAND [ARGS]\n"
    "commands:\n"
    "  login                          log in; show the public address and port drift\n"
    "  negotiate [CH...]              negotiate channels (default 0); show each target\n"
    "  show [CH...]                   negotiate channels and show every setting\n"
    "  alarm-get                      alarm, motion-detection and recording switches\n"
    "  alarm-set ALARM MOTION RECORD  switches, each 0 or 1\n"
    "  rs485-get CH\n"
    "  rs485-set CH BAUD DATA STOP PARITY FLOW DECODER-TYPE DECODER-ADDRESS\n"
    "  tdnet-get CH                   allowed caller numbers\n"
    "  tdnet-set CH NUMBERS [DELETE]  set the numbers (DELETE: Del_Curr_Num, default 1)\n"
    "  security-get CH                fixed and temporary password, emergency number\n"
    "  security-set CH OLD NEW [EMERGENCY]\n"
    "  gps CH                         the device's GPS text\n"
    "  compression CH RES FPS BITRATE TYPE negotiate CH with these picture settings\n"
    "  talk HEX                       send one talkback block (hex bytes, <= 1023)\n"
    "  play SECONDS CH...             play channels into headless windows; show frames\n"
    "                                 shown, time to the first picture and bit rate\n"
    "  record SECONDS CH FILE         record a channel's live video to a .264 file\n"
    "  snapshot CH FILE               save the channel's next picture as a bitmap\n"
    "  ptz CH COMMAND [A [B [C [D]]]] send one PTZ command over the channel's session\n"
    "--timeout also limits the wait for a channel's first picture.\n";

struct Options {
  std::string server = "127.0.0.1";
  int port = 0;
  std::string i2c;
  std::string tel;
  std::string passwd;
  int timeout = 20;
  std::string command;
  std::vector<std::string> args;
};

const char* error_text(int code) {
  switch (code) {
    case 0:
      return "no error code";
    case 20002:
      return "cannot connect to the authentication server";
    case 20003:
      return "sending the request failed";
    case 20400:
      return "the server refused the request (400)";
    case 20404:
      return "no such device: id and phone do not match, or the device is off line (404)";
    case 20500:
      return "server error (500)";
    case 20501:
      return "the server failed to send; retry (501)";
    case 20503:
      return "server busy (503)";
    case 20601:
      return "the device logged in again through another port (601)";
    case 30000:
      return "unexpected HTTP status";
    default:
      return "unknown error";
  }
}

int fail(const std::string& what) {
  const int code = _GetLastErrorCode();
  std::fprintf(stderr, "orvctl: %s (error %d: %s)\n", what.c_str(), code, error_text(code));
  return 1;
}

std::optional<long> number(std::string_view text) {
  long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

bool parse(int argc, char** argv, Options& o) {
  int i = 1;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
    const std::string_view key = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (key == "--server") {
      o.server = value;
    } else if (key == "--port") {
      auto n = number(value);
      if (!n || *n < 1 || *n > 65535) return false;
      o.port = static_cast<int>(*n);
    } else if (key == "--i2c") {
      o.i2c = value;
    } else if (key == "--tel") {
      o.tel = value;
    } else if (key == "--passwd") {
      o.passwd = value;
    } else if (key == "--timeout") {
      auto n = number(value);
      if (!n || *n < 1 || *n > 600) return false;
      o.timeout = static_cast<int>(*n);
    } else {
      return false;
    }
  }
  if (i >= argc || o.port == 0 || o.i2c.empty() || o.tel.empty()) return false;
  o.command = argv[i++];
  for (; i < argc; ++i) o.args.emplace_back(argv[i]);
  return true;
}

std::optional<long> channel_arg(const Options& o, std::size_t index) {
  if (index >= o.args.size()) return std::nullopt;
  auto n = number(o.args[index]);
  if (!n || *n < 0 || *n > 5) return std::nullopt;
  return n;
}

std::string utf8(std::wstring_view text) {
  return platform::utf8_from_wide(text);
}

long login(const Options& o) {
  return Login(o.server.c_str(), o.port, o.i2c.c_str(), o.tel.c_str(), o.passwd.c_str(), "",
               o.timeout);
}

void print_login(long handle) {
  char ip[64];
  int drift = 0;
  const bool known = GetLoginPublicAddr(handle, ip, sizeof ip, drift) == 1;
  std::printf("logged in: handle %ld, public address %s, port drift %d\n", handle, known ? ip : "?",
              drift);
}

// Shows the target the negotiation would hand to a session, starting none.
int negotiate_channel(long handle, long c, int timeout) {
  NegotiatedTarget t;
  const int r = NegotiateChannel(handle, c, timeout, t);
  std::printf("channel %ld:\n", c);
  if (r == -1) {
    std::printf("  negotiation failed: the device refused the password\n");
    return 1;
  }
  if (r != 1) {
    const int code = _GetLastErrorCode();
    if (code != 0)
      std::printf("  negotiation failed (error %d: %s)\n", code, error_text(code));
    else
      std::printf("  negotiation failed\n");
    return 1;
  }
  std::printf("  connect type     %s\n", t.connectType.c_str());
  std::printf("  peer             %s:%d\n", t.peerIp.empty() ? "-" : t.peerIp.c_str(), t.peerPort);
  if (t.tcpMode == 0) {
    std::printf("  p2p server       %s:%d\n", t.p2pServerIp.c_str(), t.p2pServerPort);
    std::printf("  p2p repeat       %d, overtime %d, drift range %d\n", t.p2pRepeat, t.p2pOvertime,
                t.p2pDriftRange);
  }
  std::printf("  transport        %s\n", t.tcpMode ? "TCP" : "UDP (punched path)");
  std::printf("  random value     %s\n", t.randomValue.c_str());
  std::printf("  session id       %d\n", t.sessionId);
  std::printf("  listen port      %d%s\n", t.listenPort,
              t.deviceConnects ? " (the device connects here)" : "");
  return 0;
}

struct Rs485 {
  std::int32_t baud;
  std::uint8_t data, stop, parity, flow;
  std::uint16_t type, address;
};

int show_alarm(const Options& o) {
  std::vector<char> id(o.i2c.begin(), o.i2c.end());
  id.push_back('\0');
  const std::wstring tel = platform::wide_from_cp936(o.tel);
  const std::wstring server = platform::wide_from_cp936(o.server);
  if (!UserAnthenticate(id.data(), static_cast<int>(o.i2c.size()), tel.c_str(), server.c_str(),
                        o.port, o.timeout))
    return fail("authentication for the alarm settings failed");
  int a = 0, m = 0, r = 0;
  if (!GetAlarmCfg(id.data(), tel.c_str(), server.c_str(), o.port, a, m, r))
    return fail("reading the alarm settings failed");
  std::printf("alarm: alarm %s, motion detection %s, recording %s\n", a ? "on" : "off",
              m ? "on" : "off", r ? "on" : "off");
  return 0;
}

int show_rs485(long h, long c) {
  Rs485 rec{};
  if (!GetRS485Cfg(h, c, &rec, sizeof rec)) return fail("reading the RS-485 settings failed");
  std::printf(
      "rs485 channel %ld: baud %d, data %u, stop %u, parity %u, flow %u, decoder %u, "
      "address %u\n",
      c, rec.baud, rec.data, rec.stop, rec.parity, rec.flow, rec.type, rec.address);
  return 0;
}

int show_tdnet(long h, long c) {
  char buf[121] = {};
  if (!GetTDNetCfg(h, c, buf, 120)) return fail("reading the allowed numbers failed");
  std::printf("allowed numbers: %s\n", buf[0] ? buf : "(none)");
  return 0;
}

int show_security(long h, long c) {
  char fixed[64], temp[64], tel[64];
  const int r = GetSecurityCfg(h, c, fixed, sizeof fixed, temp, sizeof temp, tel, sizeof tel);
  if (r == 0 && !fixed[0]) return fail("reading the security settings failed");
  std::printf("security: fixed password %s, temporary password %s, emergency number %s%s\n", fixed,
              temp[0] ? temp : "(none)", tel[0] ? tel : "(none)", r ? "" : " [org_pwd_error]");
  return 0;
}

// An empty answer is also what a device without a fix sends, so show does
// not count it as a failure.
int show_gps(long h, long c, bool required) {
  const std::string gps = GetGPSData(h, c);
  if (gps.empty()) {
    if (required) return fail("no GPS data (none, or reading it failed)");
    std::printf("gps: (none)\n");
    return 0;
  }
  std::printf("gps: %s\n", gps.c_str());
  return 0;
}

std::optional<std::vector<char>> hex_bytes(std::string_view hex) {
  if (hex.size() % 2) return std::nullopt;
  std::vector<char> out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    auto [p, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
    if (ec != std::errc() || p != hex.data() + i + 2) return std::nullopt;
    out.push_back(static_cast<char>(v));
  }
  return out;
}

int usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// ---- live video ----

// One channel played into a headless window until the command ends.
struct LiveView {
  long handle = -1;
  long channel = 0;
  std::unique_ptr<platform::ScopedHeadlessWindow> window;
  long port = -1;
  std::uint64_t started = 0;
  std::int64_t first_picture_ms = -1;

  std::size_t pictures() { return (*window)->picture_count(); }
  std::size_t notifications(WPARAM what) {
    std::size_t n = 0;
    for (const auto& m : (*window)->messages()) n += m.msg == WM_USER && m.wparam == what;
    return n;
  }
};

// The connection type of the channel's current session, "-" before one exists.
std::string connect_type(long handle, long c) {
  char type[64];
  return GetConnectType(handle, c, type, sizeof type) ? type : "-";
}

// Starts the channel: every notification and the pictures go to one window.
bool start_view(LiveView& v, long handle, long c) {
  v.handle = handle;
  v.channel = c;
  v.window = std::make_unique<platform::ScopedHeadlessWindow>();
  SetMsgWnd(handle, c, v.window->hwnd());
  v.started = platform::tick_ms64();
  v.port = RealPlay(handle, c, v.window->hwnd());
  if (v.port < 0) {
    fail("channel " + std::to_string(c) + " did not start playing");
    return false;
  }
  return true;
}

// Waits for every view's first picture until deadline (tick_ms64); notes when
// each came. True when all have one.
bool wait_first_pictures(std::vector<LiveView>& views, std::uint64_t deadline) {
  for (;;) {
    bool all = true;
    for (auto& v : views) {
      if (v.first_picture_ms < 0 && v.pictures() > 0)
        v.first_picture_ms = static_cast<std::int64_t>(platform::tick_ms64() - v.started);
      all = all && v.first_picture_ms >= 0;
    }
    const auto now = platform::tick_ms64();
    if (all || now >= deadline) return all;
    // The windows wake this wait as pictures arrive.
    const int left = static_cast<int>(std::min<std::uint64_t>(deadline - now, 50));
    for (auto& v : views) {
      if (v.first_picture_ms < 0) {
        (*v.window)->wait_until([](const auto& s) { return s.pictures > 0; }, left);
        break;
      }
    }
  }
}

// Progress texts the SDK drew into the window, for a channel without picture.
std::string drawn_texts(LiveView& v) {
  std::string out;
  for (const auto& t : (*v.window)->texts()) out += " [" + utf8(t) + "]";
  return out.empty() ? " (nothing drawn)" : out;
}

// One live view up to its first picture, within the timeout.
std::optional<LiveView> open_view(const Options& o, long handle, long c) {
  std::vector<LiveView> views(1);
  if (!start_view(views[0], handle, c)) return std::nullopt;
  if (!wait_first_pictures(views, platform::tick_ms64() + 1000ull * o.timeout)) {
    std::fprintf(stderr, "orvctl: channel %ld showed no picture within %d s;%s\n", c, o.timeout,
                 drawn_texts(views[0]).c_str());
    StopRealPlay(handle, c);
    return std::nullopt;
  }
  std::printf("channel %ld (%s): first picture after %lld ms\n", c, connect_type(handle, c).c_str(),
              static_cast<long long>(views[0].first_picture_ms));
  return std::move(views[0]);
}

std::optional<int> seconds_arg(const std::string& text) {
  auto n = number(text);
  if (!n || *n < 1 || *n > 3600) return std::nullopt;
  return static_cast<int>(*n);
}

int play(const Options& o, long h) {
  if (o.args.size() < 2) return usage();
  const auto seconds = seconds_arg(o.args[0]);
  if (!seconds) return usage();
  std::vector<long> channels;
  for (std::size_t i = 1; i < o.args.size(); ++i) {
    auto c = channel_arg(o, i);
    if (!c) return usage();
    channels.push_back(*c);
  }
  std::vector<LiveView> views(channels.size());
  int status = 0;
  for (std::size_t i = 0; i < channels.size(); ++i)
    if (!start_view(views[i], h, channels[i])) status = 1;
  std::erase_if(views, [](const LiveView& v) { return v.port < 0; });
  // The play time counts from the last first picture (or the timeout), so
  // a slow path still shows the stream for the time asked.
  wait_first_pictures(views, platform::tick_ms64() + 1000ull * o.timeout);
  std::vector<std::size_t> before;
  for (auto& v : views) before.push_back(v.pictures());
  platform::sleep_ms(*seconds * 1000);
  for (auto& v : views) {
    const std::size_t shown = v.pictures();
    const int rate = _GetBitRate(h, v.channel);
    const std::string type = connect_type(h, v.channel);
    std::printf("channel %ld (%s): %zu frames shown", v.channel, type.c_str(), shown);
    if (shown > 0)
      std::printf(" (%.1f per second)",
                  static_cast<double>(shown - before[static_cast<std::size_t>(&v - views.data())]) /
                      *seconds);
    if (v.first_picture_ms >= 0)
      std::printf(", first picture after %lld ms", static_cast<long long>(v.first_picture_ms));
    if (type == "client-monitor-p2p")
      std::printf(", bit rate not measured on P2P");
    else
      std::printf(", bit rate %d kbit/s", rate);
    const std::size_t lost = v.notifications(NOTIFY_SESSION_LOST);
    const std::size_t timed_out = v.notifications(NOTIFY_P2P_TIMEOUT);
    if (lost) std::printf(", session lost %zu times", lost);
    if (timed_out) std::printf(", P2P session timed out");
    std::printf("\n");
    if (shown == 0) {
      std::printf("  no picture:%s\n", drawn_texts(v).c_str());
      status = 1;
    }
  }
  for (auto& v : views) StopRealPlay(h, v.channel);
  return status;
}

// Whole frames in a record file, and the type of its first frame.
struct RecordSummary {
  record::RecordScan scan;
  std::uint64_t bytes = 0;
  int first_type = -1;
};

RecordSummary summarize_record(const std::string& path) {
  RecordSummary r;
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  r.bytes = bytes.size();
  r.scan = record::scan_record(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  // The type: bits 0-1 of the header's fourth word, whose low byte comes first.
  if (bytes.size() >= 16) r.first_type = static_cast<unsigned char>(bytes[12]) & 3;
  return r;
}

int record(const Options& o, long h) {
  if (o.args.size() != 3) return usage();
  const auto seconds = seconds_arg(o.args[0]);
  const auto c = channel_arg(o, 1);
  if (!seconds || !c) return usage();
  const std::string& file = o.args[2];
  auto view = open_view(o, h, *c);
  if (!view) return 1;
  const std::wstring path = platform::wide_from_utf8(file);
  if (!StartLocalRecord(h, *c, path.c_str())) {
    StopRealPlay(h, *c);
    return fail("recording to " + file + " did not start");
  }
  platform::sleep_ms(*seconds * 1000);
  StopLoacalRecord(h, *c);
  StopRealPlay(h, *c);
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) {
    std::fprintf(stderr, "orvctl: nothing was recorded to %s (no key frame arrived?)\n",
                 file.c_str());
    return 1;
  }
  const RecordSummary r = summarize_record(file);
  std::printf("%s: %zu frames, %llu bytes, %s, first frame of type %d\n", file.c_str(),
              r.scan.frames, static_cast<unsigned long long>(r.bytes),
              r.scan.whole ? "whole frames" : r.scan.error.c_str(), r.first_type);
  return r.scan.whole && r.scan.frames > 0 ? 0 : 1;
}

int snapshot(const Options& o, long h) {
  if (o.args.size() != 2) return usage();
  const auto c = channel_arg(o, 0);
  if (!c) return usage();
  const std::string& file = o.args[1];
  auto view = open_view(o, h, *c);
  if (!view) return 1;
  std::error_code ec;
  std::filesystem::remove(file, ec);
  const std::wstring path = platform::wide_from_utf8(file);
  if (!CapturePicture(static_cast<int>(view->port), path.c_str())) {
    StopRealPlay(h, *c);
    return fail("the picture could not be asked for");
  }
  // The picture is written when the next one is shown.
  std::uintmax_t size = 0;
  const auto deadline = platform::tick_ms64() + 5000;
  while (platform::tick_ms64() < deadline) {
    size = std::filesystem::file_size(file, ec);
    if (!ec && size > 54) break;
    const std::size_t shown = view->pictures();
    (*view->window)->wait_until([&](const auto& s) { return s.pictures > shown; }, 200);
  }
  StopRealPlay(h, *c);
  // Let a write in progress finish before judging the file.
  size = std::filesystem::file_size(file, ec);
  if (ec || size <= 54) {
    std::fprintf(stderr, "orvctl: no picture was saved to %s\n", file.c_str());
    return 1;
  }
  std::ifstream in(file, std::ios::binary);
  unsigned char head[26] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  auto word = [&](int at) {
    return static_cast<std::int32_t>(head[at] | head[at + 1] << 8 | head[at + 2] << 16 |
                                     static_cast<std::uint32_t>(head[at + 3]) << 24);
  };
  const std::int32_t height = word(22);
  std::printf("%s: %dx%d bitmap, %ju bytes\n", file.c_str(), word(18),
              height < 0 ? -height : height, size);
  return 0;
}

int ptz(const Options& o, long h) {
  if (o.args.size() < 2 || o.args.size() > 6) return usage();
  const auto c = channel_arg(o, 0);
  if (!c) return usage();
  int v[5] = {};
  for (std::size_t i = 1; i < o.args.size(); ++i) {
    auto n = number(o.args[i]);
    if (!n || *n < -65535 || *n > 65535) return usage();
    v[i - 1] = static_cast<int>(*n);
  }
  auto view = open_view(o, h, *c);
  if (!view) return 1;
  const std::string type = connect_type(h, *c);
  const int sent = PtzControl(h, *c, v[0], v[1], v[2], v[3], v[4]);
  StopRealPlay(h, *c);
  if (sent) {
    std::printf("ptz command %d sent on channel %ld (%s)\n", v[0], *c, type.c_str());
    return 0;
  }
  if (type == "client-monitor-p2p") {
    std::fprintf(stderr, "orvctl: PTZ commands do not travel over a P2P session\n");
  } else {
    std::fprintf(stderr,
                 "orvctl: ptz command %d was not sent (unknown command for the channel's decoder, "
                 "or the session is gone)\n",
                 v[0]);
  }
  return 1;
}

int run(const Options& o) {
  const std::string& cmd = o.command;
  if (cmd == "alarm-get") return show_alarm(o);
  if (cmd == "alarm-set") {
    if (o.args.size() != 3) return usage();
    std::vector<char> id(o.i2c.begin(), o.i2c.end());
    id.push_back('\0');
    const std::wstring tel = platform::wide_from_cp936(o.tel);
    const std::wstring server = platform::wide_from_cp936(o.server);
    if (!UserAnthenticate(id.data(), static_cast<int>(o.i2c.size()), tel.c_str(), server.c_str(),
                          o.port, o.timeout))
      return fail("authentication failed");
    if (!AlarmOpen(id.data(), tel.c_str(), server.c_str(), o.port, number(o.args[0]).value_or(0),
                   number(o.args[1]).value_or(0), number(o.args[2]).value_or(0), 0))
      return fail("changing the alarm switches failed");
    return show_alarm(o);
  }

  // Live commands with the wrong number of arguments need no login.
  const std::size_t n = o.args.size();
  if ((cmd == "play" && n < 2) || (cmd == "record" && n != 3) || (cmd == "snapshot" && n != 2) ||
      (cmd == "ptz" && (n < 2 || n > 6)))
    return usage();

  const long h = login(o);
  if (h < 0) return fail("login of " + o.i2c + " failed");
  if (cmd == "login") {
    print_login(h);
    return 0;
  }
  if (cmd == "negotiate" || cmd == "show") {
    std::vector<long> channels;
    for (std::size_t i = 0; i < o.args.size(); ++i) {
      auto c = channel_arg(o, i);
      if (!c) return usage();
      channels.push_back(*c);
    }
    if (channels.empty()) channels.push_back(0);
    print_login(h);
    int status = 0;
    for (long c : channels) status |= negotiate_channel(h, c, o.timeout);
    if (cmd == "show") {
      status |= show_alarm(o);
      status |= show_rs485(h, channels.front());
      status |= show_tdnet(h, channels.front());
      status |= show_security(h, channels.front());
      status |= show_gps(h, channels.front(), false);
    }
    return status;
  }
  if (cmd == "play") return play(o, h);
  if (cmd == "record") return record(o, h);
  if (cmd == "snapshot") return snapshot(o, h);
  if (cmd == "ptz") return ptz(o, h);
  if (cmd == "talk") {
    if (o.args.size() != 1) return usage();
    auto block = hex_bytes(o.args[0]);
    if (!block || block->size() > 1023) {
      std::fprintf(stderr, "orvctl: talk needs an even number of hex digits, at most 1023 bytes\n");
      return 2;
    }
    if (!SendAudioDataVoiceExchange(h, block->data(), static_cast<int>(block->size()), 1))
      return fail("the server did not accept the talkback block");
    std::printf("talkback block of %zu bytes accepted\n", block->size());
    return 0;
  }
  const auto c = channel_arg(o, 0);
  if (!c) return usage();
  if (cmd == "rs485-get") return show_rs485(h, *c);
  if (cmd == "tdnet-get") return show_tdnet(h, *c);
  if (cmd == "security-get") return show_security(h, *c);
  if (cmd == "gps") return show_gps(h, *c, true);
  if (cmd == "rs485-set") {
    if (o.args.size() != 8) return usage();
    long v[7];
    for (int i = 0; i < 7; ++i) {
      auto n = number(o.args[static_cast<std::size_t>(i) + 1]);
      if (!n) return usage();
      v[i] = *n;
    }
    Rs485 rec{static_cast<std::int32_t>(v[0]), static_cast<std::uint8_t>(v[1]),
              static_cast<std::uint8_t>(v[2]), static_cast<std::uint8_t>(v[3]),
              static_cast<std::uint8_t>(v[4]), static_cast<std::uint16_t>(v[5]),
              static_cast<std::uint16_t>(v[6])};
    if (!SetRS485Cfg(h, *c, &rec, sizeof rec)) return fail("changing the RS-485 settings failed");
    return show_rs485(h, *c);
  }
  if (cmd == "tdnet-set") {
    if (o.args.size() < 2 || o.args.size() > 3) return usage();
    std::string numbers = o.args[1];
    const long del = o.args.size() == 3 ? number(o.args[2]).value_or(1) : 1;
    if (!SetTDNetCfg(h, *c, numbers.data(), 0, static_cast<int>(del)))
      return fail("changing the allowed numbers failed");
    return show_tdnet(h, *c);
  }
  if (cmd == "security-set") {
    if (o.args.size() < 3 || o.args.size() > 4) return usage();
    std::string old_pwd = o.args[1], new_pwd = o.args[2];
    std::string tel = o.args.size() == 4 ? o.args[3] : std::string(11, '0');
    const int r = SetSecurityCfg(h, *c, 0, 1, 0, old_pwd.data(), new_pwd.data(),
                                 o.args.size() == 4 ? 1 : 0, 0, tel.data());
    if (r == -1) {
      std::fprintf(stderr, "orvctl: the old password is wrong (org_pwd_error)\n");
      return 1;
    }
    if (r != 1) return fail("changing the password failed");
    return show_security(h, *c);
  }
  if (cmd == "compression") {
    if (o.args.size() != 5) return usage();
    long v[4];
    for (int i = 0; i < 4; ++i) {
      auto n = number(o.args[static_cast<std::size_t>(i) + 1]);
      if (!n) return usage();
      v[i] = *n;
    }
    SetCompressionInf(h, *c, static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                      static_cast<int>(v[3]));
    print_login(h);
    return negotiate_channel(h, *c, o.timeout);
  }
  return usage();
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!parse(argc, argv, o)) return usage();
  if (!InitMonitClientSDK()) {
    std::fputs("orvctl: the SDK did not start\n", stderr);
    return 1;
  }
  const int status = run(o);
  ReleaseMonitClientSDK();
  return status;
}
