// The alarm sound's ".wav" files: RIFF/WAVE with PCM samples of 8 or 16 bits,
// one or two channels, read into mono 16-bit samples for the sound output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace model {

struct WavSound {
  int sample_rate = 0;
  std::vector<std::int16_t> samples;  // mono; stereo files are mixed down
};

// Larger files are not alarm sounds and are refused before they are read.
inline constexpr std::uintmax_t kMaxWavBytes = 32u << 20;

// nullopt for anything that is not such a file whole: other formats, sizes
// that run past the end, missing "fmt " or "data" chunks.
std::optional<WavSound> parse_wav(std::string_view bytes);
std::optional<WavSound> read_wav(const std::filesystem::path& file);

}  // namespace model
