// Shared by the end-to-end tests and the soak program: the SDK tuned for
// loopback, record files checked against the frames the simulator streams,
// and waits on headless windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "control/auth.h"
#include "device_log.h"
#include "media/p2p_registry.h"
#include "media_source.h"
#include "platform/headless_window.h"
#include "platform/types.h"

namespace e2e {

// Short waits for the address queries and the punching, so a channel of any
// type reaches its first picture in well under a second on loopback.
void tune_for_loopback();

// The control and punching timings as found, put back when it goes.
class SavedTimings {
 public:
  SavedTimings() : control_(velmo::tuning()), p2p_(velmo::p2p_timing()) {}
  ~SavedTimings() {
    velmo::tuning() = control_;
    velmo::p2p_timing() = p2p_;
  }
  SavedTimings(const SavedTimings&) = delete;
  SavedTimings& operator=(const SavedTimings&) = delete;
  // The punching waits as shipped.
  const CUDP_CE::Timing& p2p() const { return p2p_; }

 private:
  velmo::ControlTuning control_;
  CUDP_CE::Timing p2p_;
};

// What a record file holds, read the way the player reads it.
struct RecordCheck {
  std::size_t frames = 0;
  std::uint64_t bytes = 0;
  bool whole = false;              // nothing but complete signed frames
  int first_type = -1;             // type of the first frame
  std::size_t type1_starts = 0;    // frames of type 1 (each recording part starts with one)
  std::size_t numbering_gaps = 0;  // a frame whose number is not the previous one + 1
  std::size_t foreign_frames = 0;  // data found in no frame of the source loop
  std::string error;               // first problem, for messages
};

// Reads path; `loop` (may be null) is the source the data must come from.
RecordCheck check_record(const std::filesystem::path& path, const orvsim::FrameLoop* loop);

// kbit/s of a frame loop (frame bytes as sent, headers included).
double loop_kbits_per_second(const orvsim::FrameLoop& loop);

// Messages the window received with this wParam.
std::size_t count_messages(platform::HeadlessWindow& w, WPARAM wparam);
bool wait_message(platform::HeadlessWindow& w, WPARAM wparam, std::size_t count, int timeout_ms);
bool wait_pictures(platform::HeadlessWindow& w, std::size_t count, int timeout_ms);

// Requests with this method the device of `key` received.
std::size_t count_requests(const orvsim::DeviceLog& log, const orvsim::ChannelKey& key,
                           std::string_view method);

// Writes the UDP settings file of the device with this phone number beside
// the program; returns its folder, for the caller to remove.
std::filesystem::path write_udp_settings(const std::string& tel, const std::string& xml);

// Polls for a file of at least min_size bytes (written by another thread).
bool wait_file(const std::filesystem::path& path, std::uintmax_t min_size, int timeout_ms);

// Frames the player indexes in a record file (Play264_OpenFile on a free
// port), -1 when it cannot open it.
long player_frame_count(const std::filesystem::path& path, long port);

}  // namespace e2e
