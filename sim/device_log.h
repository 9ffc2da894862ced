// What the simulated devices received and did, for tests to assert on the
// wire (every RTSP request, every PTZ body, frames and bytes sent per
// channel), and the media faults tests ask a channel to commit.
#pragma once

#include <compare>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device_rtsp.h"
#include "platform/net.h"

namespace orvsim {

struct ChannelKey {
  std::string i2c;
  int channel = 0;
  friend auto operator<=>(const ChannelKey&, const ChannelKey&) = default;
  std::string text() const { return i2c + "/" + std::to_string(channel); }
};

enum class MediaFault {
  close_control,        // the device closes (TCP) or abandons (UDP) the control path
  close_stream,         // the device closes the stream connection (TCP) or socket (UDP)
  stop_sending,         // no frames and no heart beats (sent or answered) until resumed
  resume_sending,       // ends stop_sending
  no_signature,         // one frame with its signature cleared
  foreign_magic,        // one extra slice with another stream's magic inside a frame (UDP)
  slices_out_of_order,  // one frame's slices last to first (UDP)
  slice_missing,        // one frame without its last slice (UDP)
  oversized_frame,      // one frame whose data passes the 128 KiB limit
};

std::string_view media_fault_name(MediaFault fault);

// Faults wait per channel until a session of that channel uses them; a count
// of n makes n frames (or closes) faulty.
class DeviceFaults {
 public:
  void inject(const ChannelKey& key, MediaFault fault, int count = 1);
  // One planned use of the fault, if any.
  bool take(const ChannelKey& key, MediaFault fault);
  bool sending_stopped(const ChannelKey& key) const;
  void clear();

 private:
  struct State {
    std::map<MediaFault, int> pending;
    bool stopped = false;
  };
  mutable std::mutex m_;
  std::map<ChannelKey, State> state_;
};

struct RtspLogEntry {
  ChannelKey key;
  std::string connect_type;
  bool udp = false;
  platform::SockAddr from;
  RtspRequest request;
  int status = 0;  // what the device answered; 0 when it did not
};

struct PtzLogEntry {
  ChannelKey key;
  std::string url;
  std::string body;  // as received
  PtzBody ptz;
};

struct ChannelStats {
  int sessions = 0;          // control connections or punched paths served
  int plays = 0;             // PLAY requests answered with 200
  int streams = 0;           // stream connections or paths that carried frames
  std::uint64_t frames = 0;  // frames sent (faulty ones included)
  std::uint64_t bytes = 0;   // frame bytes sent
  int teardowns = 0;
  int set_parameters = 0;
  int heart_beats_sent = 0;
  int heart_beats_answered = 0;
  std::vector<std::string> faults;  // faults carried out, in order
};

class DeviceLog {
 public:
  void add_request(RtspLogEntry entry);
  void add_ptz(PtzLogEntry entry);
  void update(const ChannelKey& key, const std::function<void(ChannelStats&)>& change);
  // A line for people and tests: "100000000001/0 stream connection refused".
  void note(const ChannelKey& key, std::string text);
  void clear();
  // Called (outside the log's lock, on the device's thread) with one line per
  // request answered and per note; for the orvsim program's console.
  void set_observer(std::function<void(const std::string& line)> observer);

  std::vector<RtspLogEntry> requests() const;
  std::vector<PtzLogEntry> ptz() const;
  ChannelStats stats(const ChannelKey& key) const;
  std::vector<std::string> notes() const;

  // Waits until the condition over the log holds; false after timeout_ms.
  bool wait_until(const std::function<bool(const DeviceLog&)>& done, int timeout_ms) const;

 private:
  void changed();                      // m_ not held
  void tell(const std::string& line);  // m_ not held

  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::vector<RtspLogEntry> requests_;  // the newest kMaxEntries
  std::vector<PtzLogEntry> ptz_;
  std::map<ChannelKey, ChannelStats> stats_;
  std::vector<std::string> notes_;
  std::uint64_t generation_ = 0;
  std::mutex observer_m_;
  std::function<void(const std::string&)> observer_;
};

}  // namespace orvsim
