#include "sound.h"

#include <algorithm>

#include "platform/audio.h"

#ifdef VIDRANE_HAVE_VOICE
#include "voice/voice.h"
#endif

namespace vidrane {

namespace {

#ifndef VIDRANE_HAVE_VOICE
// G.711 A-law expansion, used until the project's voice codec is linked.
std::int16_t alaw_decode(std::uint8_t code) {
  code ^= 0x55;
  int t = (code & 0x0F) << 4;
  const int segment = (code & 0x70) >> 4;
  if (segment == 0)
    t += 8;
  else if (segment == 1)
    t += 0x108;
  else
    t = (t + 0x108) << (segment - 1);
  return static_cast<std::int16_t>((code & 0x80) ? t : -t);
}
#endif

}  // namespace

void decode_voice(std::span<const std::uint8_t> part, std::vector<std::int16_t>& out) {
  std::size_t pos = 0;
#ifdef VIDRANE_HAVE_VOICE
  alignas(8) std::uint8_t state[VOICE_STATE_SIZE];
  if (VOICE_DecReset(state, VOICE_G711A) != VOICE_OK) return;
  std::int16_t samples[VOICE_MAX_DECODED_SAMPLES];
#endif
  while (part.size() - pos >= 4) {
    const std::uint8_t* f = part.data() + pos;
    const std::size_t words = f[2];
    const std::size_t bytes = 4 + 2 * words;
    if (words == 0 || (f[1] & 3) != 1 || bytes > part.size() - pos) return;
#ifdef VIDRANE_HAVE_VOICE
    std::uint16_t count = 0;
    if (VOICE_DecodeFrame(state, f, samples, &count) != VOICE_OK) return;
    out.insert(out.end(), samples,
               samples + std::min<std::size_t>(count, VOICE_MAX_DECODED_SAMPLES));
#else
    if ((2 * words) % 80 != 0 || words > 240) return;
    for (std::size_t i = 0; i < 2 * words; ++i) out.push_back(alaw_decode(f[4 + i]));
#endif
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
