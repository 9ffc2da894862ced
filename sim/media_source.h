// What a simulated channel streams: a short loop of real H.264 frames encoded
// once per picture format and shared by every channel that uses the format,
// so sixteen channels cost one encode. Frames go out renumbered, one loop
// after another; each loop starts with an IDR picture, so any loop boundary
// is a clean place to start decoding.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "teststream/teststream.h"

namespace orvsim {

struct StreamFormat {
  int width = 352;
  int height = 288;
  int fps = 25;
  bool sound = false;

  friend bool operator==(const StreamFormat&, const StreamFormat&) = default;
  std::string text() const;  // "CIF 25 fps", "720x576 10 fps + sound"
};

// "qcif", "cif", "d1" (any case); nullopt for anything else.
std::optional<StreamFormat> format_for_resolution(std::string_view name);

class FrameLoop {
 public:
  // Seconds of video in one loop; the IDR period is one second.
  static constexpr int kLoopSeconds = 2;

  // The shared loop of a format, encoded on first use; null when the encoder
  // is missing or failed (the caller streams nothing).
  static std::shared_ptr<const FrameLoop> get(const StreamFormat& format);

  const StreamFormat& format() const { return format_; }
  const std::vector<teststream::Frame>& frames() const { return frames_; }
  std::size_t size() const { return frames_.size(); }

  explicit FrameLoop(const StreamFormat& format);

 private:
  StreamFormat format_;
  std::vector<teststream::Frame> frames_;
};

}  // namespace orvsim
