// Device frames carrying real H.264: a moving test picture encoded with
// libx264, one access unit per frame in Annex-B form, optionally with G.711
// A-law voice frames in the second data part.
//
// Frame layout (host byte order): 0 reserved (0), 4 frame number (from 1),
// 8 signature 0x12345678, 12 type (bits 0-1, 1 = IDR) | frames per second << 2,
// 16 video length, 20 sound length, then the two data parts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace teststream {

inline constexpr std::uint32_t kSignature = 0x12345678;
inline constexpr std::size_t kHeaderSize = 24;

struct Options {
  int width = 352;  // CIF; D1 is 720 x 576
  int height = 288;
  int fps = 25;
  int gop = 25;        // an IDR every gop frames, the first frame included
  bool sound = false;  // one A-law voice frame of 1/fps seconds per frame
  std::string preset = "veryfast";
  int crf = 23;
};

struct Frame {
  std::vector<std::uint8_t> bytes;  // header + video + sound
  bool idr = false;
  std::span<const std::uint8_t> video() const { return {bytes.data() + kHeaderSize, video_size}; }
  std::span<const std::uint8_t> sound() const {
    return {bytes.data() + kHeaderSize + video_size, bytes.size() - kHeaderSize - video_size};
  }
  std::size_t video_size = 0;
};

// Encodes frames one by one. The encoder runs in zero-latency mode (no B
// frames, no look-ahead), so every picture yields its frame at once.
class Encoder {
 public:
  explicit Encoder(const Options& options);
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  bool ok() const;
  // The next frame; an empty frame on encoder failure.
  Frame next();
  const Options& options() const { return options_; }

 private:
  struct Impl;
  Options options_;
  std::unique_ptr<Impl> impl_;
};

// count frames of the test picture.
std::vector<Frame> make_frames(const Options& options, int count);

// The raw H.264 elementary stream of the frames (video parts concatenated),
// for reference decoders.
std::string raw_h264(const std::vector<Frame>& frames);

// A record file: the frames concatenated. False on a write failure.
bool write_264_file(const std::filesystem::path& path, const std::vector<Frame>& frames);

// Appends one header in the device layout to out.
void append_header(std::vector<std::uint8_t>& out, std::uint32_t number, bool idr, int fps,
                   std::uint32_t video_size, std::uint32_t sound_size);

// G.711 A-law of one 16-bit sample, and one voice frame (4-byte header: kind
// 0x0100 little-endian, payload length in 16-bit words, 0) of the samples.
std::uint8_t alaw_encode(std::int16_t sample);
std::vector<std::uint8_t> alaw_voice_frame(std::span<const std::int16_t> samples);

}  // namespace teststream
