#include "model/wav.h"

#include <fstream>
#include <system_error>

namespace model {
namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint32_t kMaxRate = 384000;

std::uint32_t le32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

struct Format {
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t bits = 0;
};

std::optional<Format> parse_fmt(std::string_view chunk) {
  if (chunk.size() < 16) return std::nullopt;
  Format f;
  const std::uint16_t tag = le16(chunk, 0);
  f.channels = le16(chunk, 2);
  f.rate = le32(chunk, 4);
  const std::uint16_t block_align = le16(chunk, 12);
  f.bits = le16(chunk, 14);
  if (tag != kPcm || (f.channels != 1 && f.channels != 2) || (f.bits != 8 && f.bits != 16) ||
      f.rate == 0 || f.rate > kMaxRate || block_align != f.channels * f.bits / 8)
    return std::nullopt;
  return f;
}

std::int16_t sample_at(std::string_view data, std::size_t at, int bits) {
  if (bits == 8)  // unsigned, centred on 128
    return static_cast<std::int16_t>((static_cast<unsigned char>(data[at]) - 128) * 256);
  return static_cast<std::int16_t>(le16(data, at));
}

}  // namespace

std::optional<WavSound> parse_wav(std::string_view bytes) {
  if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE")
    return std::nullopt;
  std::optional<Format> format;
  std::optional<std::string_view> data;
  // The RIFF size is often wrong in files from simple writers; the chunks decide.
  std::size_t at = 12;
  while (bytes.size() - at >= 8) {
    const std::string_view id = bytes.substr(at, 4);
    const std::uint32_t size = le32(bytes, at + 4);
    at += 8;
    if (size > bytes.size() - at) return std::nullopt;
    const std::string_view body = bytes.substr(at, size);
    if (id == "fmt ") {
      format = parse_fmt(body);
      if (!format) return std::nullopt;
    } else if (id == "data") {
      if (!format) return std::nullopt;  // the samples cannot be read without it
      data = body;
      break;
    }
    // Chunks are padded to even sizes; a missing last pad byte is no harm.
    at += size + (size & 1u);
    if (at > bytes.size()) break;
  }
  if (!format || !data) return std::nullopt;

  WavSound sound;
  sound.sample_rate = static_cast<int>(format->rate);
  const std::size_t width = format->bits / 8;
  const std::size_t frame = width * format->channels;
  const std::size_t frames = data->size() / frame;  // a partial last frame is dropped
  sound.samples.reserve(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    const std::size_t base = i * frame;
    int value = sample_at(*data, base, format->bits);
    if (format->channels == 2) value = (value + sample_at(*data, base + width, format->bits)) / 2;
    sound.samples.push_back(static_cast<std::int16_t>(value));
  }
  return sound;
}

std::optional<WavSound> read_wav(const std::filesystem::path& file) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxWavBytes) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return parse_wav(bytes);
}

}  // namespace model
