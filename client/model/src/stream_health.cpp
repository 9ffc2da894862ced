#include "model/stream_health.h"

#include <cmath>
#include <cstdio>

#include "model/event_log.h"
#include "model/i18n.h"
#include "platform/text.h"

namespace model {
namespace {

std::u16string ascii(const char* s) {
  return std::u16string(s, s + std::char_traits<char>::length(s));
}

std::u16string fixed(double v, int decimals) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::isfinite(v) ? v : 0.0);
  return ascii(buf);
}

// The SDK's stream notices (window message WM_USER, wParam).
constexpr unsigned kNoticeP2pTimeout = 2134;
constexpr unsigned kNoticeSessionLost = 2144;
constexpr unsigned kNoticeRecordFailed = 2146;

}  // namespace

std::u16string connect_type_words(std::string_view type) {
  if (type == "client-monitor-direct") return tx(u"直连");
  if (type == "monitor-client-direct") return tx(u"设备回连");
  if (type == "client-monitor-p2p") return tx(u"P2P 穿透");
  if (type == "client-monitor-middle-transfer") return tx(u"中转");
  return platform::u16_from_utf8(type);
}

void RateMeter::add(std::int64_t now_ms, std::uint64_t count) {
  if (!samples_.empty() && (count < samples_.back().second || now_ms < samples_.back().first))
    samples_.clear();
  samples_.emplace_back(now_ms, count);
  // Keep one sample at or before the window's start, so the span stays whole.
  while (samples_.size() > 2 && now_ms - samples_[1].first >= window_ms_) samples_.pop_front();
}

double RateMeter::per_second() const {
  if (samples_.size() < 2) return 0;
  const auto& [t0, c0] = samples_.front();
  const auto& [t1, c1] = samples_.back();
  if (t1 - t0 < 500) return 0;
  return static_cast<double>(c1 - c0) * 1000.0 / static_cast<double>(t1 - t0);
}

std::vector<std::u16string> health_lines(const PaneHealth& h) {
  std::vector<std::u16string> lines;
  lines.push_back(tx(u"连接：%1", {h.connect.empty() ? tx(u"正在连接") : h.connect}));
  lines.push_back(tx(u"帧率：%1 帧/秒   码率：%2 kbit/s", {fixed(h.fps, 1), fixed(h.kbps, 0)}));
  lines.push_back(
      h.since_picture_ms < 0
          ? tx(u"画面：尚无")
          : tx(u"画面：%1 秒前", {fixed(static_cast<double>(h.since_picture_ms) / 1000.0, 1)}));
  lines.push_back(tx(u"重连：%1 次", {fixed(h.reconnects, 0)}));
  if (!h.last_failure.empty()) lines.push_back(tx(u"故障：%1", {h.last_failure}));
  if (!h.position.empty()) lines.push_back(tx(u"位置：%1", {h.position}));
  return lines;
}

bool stream_stalled(std::int64_t last_picture_ms, std::int64_t now_ms) {
  return last_picture_ms >= 0 && now_ms - last_picture_ms > kStallMs;
}

std::u16string clock_text(const LocalTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return ascii(buf);
}

std::u16string stall_text(const LocalTime& since, std::int64_t stalled_ms) {
  return tx(u"%1 起，已 %2 秒",
            {clock_text(since), fixed(static_cast<double>(stalled_ms / 1000), 0)});
}

std::u16string notice_words(unsigned notice) {
  switch (notice) {
    case kNoticeSessionLost:
      return tx(u"网络中断");
    case kNoticeP2pTimeout:
      return tx(u"P2P 连接超时");
    case kNoticeRecordFailed:
      return tx(u"录像写入失败");
    default:
      return {};
  }
}

std::optional<std::u16string> DeviceWatch::observe(int server, std::u16string_view name,
                                                   Seen seen) {
  auto it = state_.find(server);
  const bool known = it != state_.end();
  if (known && it->second == seen) return std::nullopt;
  state_[server] = seen;
  // The line is stored: it stays as written (the log window translates it).
  if (seen == Seen::down) return fill_pattern(kDeviceLost, {std::u16string(name)});
  if (!known) return std::nullopt;
  return fill_pattern(kDeviceBack, {std::u16string(name)});
}

bool DeviceWatch::down(int server) const {
  auto it = state_.find(server);
  return it != state_.end() && it->second == Seen::down;
}

}  // namespace model
