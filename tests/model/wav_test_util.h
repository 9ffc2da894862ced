// Builds ".wav" images for the tests of the WAV reader and the alarm sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace model_test {

inline void put_le(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::string wav_chunk(const std::string& id, const std::string& body) {
  std::string out = id;
  put_le(out, static_cast<std::uint32_t>(body.size()), 4);
  out += body;
  if (body.size() % 2) out += '\0';
  return out;
}

inline std::string fmt_body(int tag, int channels, int rate, int bits) {
  std::string f;
  put_le(f, static_cast<std::uint32_t>(tag), 2);
  put_le(f, static_cast<std::uint32_t>(channels), 2);
  put_le(f, static_cast<std::uint32_t>(rate), 4);
  put_le(f, static_cast<std::uint32_t>(rate * channels * bits / 8), 4);
  put_le(f, static_cast<std::uint32_t>(channels * bits / 8), 2);
  put_le(f, static_cast<std::uint32_t>(bits), 2);
  return f;
}

inline std::string riff(const std::string& chunks) {
  std::string out = "RIFF";
  put_le(out, static_cast<std::uint32_t>(chunks.size() + 4), 4);
  return out + "WAVE" + chunks;
}

// A whole PCM file of 16-bit samples (interleaved when stereo).
inline std::string pcm16_wav(int channels, int rate, const std::vector<std::int16_t>& samples) {
  std::string data;
  for (std::int16_t s : samples) put_le(data, static_cast<std::uint16_t>(s), 2);
  return riff(wav_chunk("fmt ", fmt_body(1, channels, rate, 16)) + wav_chunk("data", data));
}

}  // namespace model_test
