// The frames' sound: voice frames decoded to 8 kHz samples, and the one
// output that a single port is heard through at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace platform {
class AudioOutput;
}

namespace vidrane {

// Decodes the voice frames of a frame's second data part (4-byte header +
// A-law payload each) and appends the samples to out. A frame that is cut
// short or malformed ends the part; what came before it is kept.
void decode_voice(std::span<const std::uint8_t> part, std::vector<std::int16_t>& out);

class SoundRouter {
 public:
  static SoundRouter& instance();
  SoundRouter();
  ~SoundRouter();

  // Makes port the one heard, opening the device when needed. False without
  // an audio device.
  bool play(long port);
  // Silences everything and releases the device.
  void stop();
  // Silences port if it is the one heard; false otherwise.
  bool stop(long port);
  void set_volume(long port, std::uint32_t volume);
  bool heard(long port) const;
  // Samples of port; dropped unless port is heard.
  void feed(long port, std::span<const std::int16_t> samples);

 private:
  mutable std::mutex m_;
  std::unique_ptr<platform::AudioOutput> output_;
  long port_ = -1;
  std::uint32_t volume_[32];
  std::vector<std::int16_t> scaled_;
};

}  // namespace vidrane
