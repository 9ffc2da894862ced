// The health of live streams and of the devices behind them: what a pane's
// overlay says (connection, frame and bit rates, the age of the last picture,
// reconnects, the last failure, the vehicle's position), when a stream counts
// as interrupted, and the event-log lines of a device going and coming back.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/time_source.h"

namespace model {

// A playing stream without a new picture for longer than this is interrupted.
inline constexpr std::int64_t kStallMs = 4000;

// The connection type of a session in words; an unknown type as it is.
std::u16string connect_type_words(std::string_view type);

// Counts per second of a counter sampled now and then. The counter may start
// again from 0 (a new stream): the samples before the drop are forgotten.
class RateMeter {
 public:
  explicit RateMeter(std::int64_t window_ms = 3000) : window_ms_(window_ms) {}
  void add(std::int64_t now_ms, std::uint64_t count);
  void reset() { samples_.clear(); }
  // 0 until the samples span at least half a second.
  double per_second() const;

 private:
  std::int64_t window_ms_;
  std::deque<std::pair<std::int64_t, std::uint64_t>> samples_;
};

struct PaneHealth {
  std::u16string connect;              // words; empty while no session exists
  double fps = 0;                      // pictures shown per second
  double kbps = 0;                     // stream kbit/s
  std::int64_t since_picture_ms = -1;  // -1: no picture yet
  int reconnects = 0;                  // since the pane started this channel
  std::u16string last_failure;         // in words, with its time; empty: none
  std::u16string position;             // the vehicle's; empty: none known
};

// The overlay's lines, top to bottom.
std::vector<std::u16string> health_lines(const PaneHealth& h);

// last_picture_ms < 0: the stream never showed a picture (it is starting,
// not interrupted).
bool stream_stalled(std::int64_t last_picture_ms, std::int64_t now_ms);
// The line under "信号中断": since when and for how long.
std::u16string stall_text(const LocalTime& since, std::int64_t stalled_ms);
// "20:41:07"
std::u16string clock_text(const LocalTime& t);

// A stream notice of the SDK in words (empty: not a failure).
std::u16string notice_words(unsigned notice);

// One device's reachability as the desk sees it: it goes when a re-login
// fails or every pane playing it lost its stream, and comes back when a
// re-login succeeds or one of its panes shows pictures again. Each change
// gives one event-log line; a device first seen up says nothing.
class DeviceWatch {
 public:
  enum class Seen { up, down };
  // The line to log, if the state changed.
  std::optional<std::u16string> observe(int server, std::u16string_view name, Seen seen);
  bool down(int server) const;
  // The server's record went (deleted): it is forgotten.
  void forget(int server) { state_.erase(server); }

 private:
  std::map<int, Seen> state_;
};

}  // namespace model
