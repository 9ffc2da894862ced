#include "sound.h"

#include <algorithm>

#include "platform/audio.h"

#include "voice/voice.h"

namespace vidrane {

void decode_voice(std::span<const std::uint8_t> part, std::vector<std::int16_t>& out) {
  std::size_t pos = 0;
  alignas(8) std::uint8_t state[VOICE_STATE_SIZE];
  if (VOICE_DecReset(state, VOICE_G711A) != VOICE_OK) return;
  std::int16_t samples[VOICE_MAX_DECODED_SAMPLES];
  while (part.size() - pos >= 4) {
    const std::uint8_t* f = part.data() + pos;
    const std::size_t words = f[2];
    const std::size_t bytes = 4 + 2 * words;
    if (words == 0 || (f[1] & 3) != 1 || bytes > part.size() - pos) return;
    std::uint16_t count = 0;
    if (VOICE_DecodeFrame(state, f, samples, &count) != VOICE_OK) return;
    out.insert(out.end(), samples,
               samples + std::min<std::size_t>(count, VOICE_MAX_DECODED_SAMPLES));
    pos += bytes;
  }
}

SoundRouter& SoundRouter::instance() {
  static SoundRouter router;
  return router;
}

SoundRouter::SoundRouter() : output_(std::make_unique<platform::AudioOutput>()) {
  std::fill(std::begin(volume_), std::end(volume_), 0xFFFFu);
}

SoundRouter::~SoundRouter() = default;

bool SoundRouter::play(long port) {
  if (port < 0 || port >= 32) return false;
  std::lock_guard lock(m_);
  if (!output_->is_open() && !output_->open(8000)) return false;
  port_ = port;
  return true;
}

void SoundRouter::stop() {
  std::lock_guard lock(m_);
  port_ = -1;
  output_->close();
}

bool SoundRouter::stop(long port) {
  std::lock_guard lock(m_);
  if (port < 0 || port != port_) return false;
  port_ = -1;
  output_->close();
  return true;
}

void SoundRouter::set_volume(long port, std::uint32_t volume) {
  if (port < 0 || port >= 32) return;
  std::lock_guard lock(m_);
  volume_[port] = std::min<std::uint32_t>(volume, 0xFFFF);
}

bool SoundRouter::heard(long port) const {
  std::lock_guard lock(m_);
  return port >= 0 && port == port_;
}

void SoundRouter::feed(long port, std::span<const std::int16_t> samples) {
  std::lock_guard lock(m_);
  if (port < 0 || port != port_ || !output_->is_open()) return;
  const std::uint32_t volume = volume_[port];
  scaled_.resize(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i)
    scaled_[i] = static_cast<std::int16_t>(
        (static_cast<std::int32_t>(samples[i]) * static_cast<std::int32_t>(volume)) / 65535);
  output_->write(scaled_);
}

}  // namespace vidrane
