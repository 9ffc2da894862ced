// The live frame input path: header parsing, the H.264 decoder fed whatever
// the first data part holds, and the voice frames of the second part. The
// input is taken as a raw frame, wrapped in a valid header, and as damage
// done to real frames of the test stream (an IDR and the P frame after it),
// so random bytes reach the decoder, near-valid H.264 and the voice decoder.
#include <cstdint>
#include <cstring>
#include <vector>

#include "decoder.h"
#include "frame.h"
#include "sound.h"
#include "teststream/teststream.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

void consume(vidrane::VideoDecoder& decoder, const vidrane::FrameView& v, std::int64_t pts) {
  if (!v.video.empty() && decoder.send(v.video, pts))
    while (decoder.receive() != nullptr) {
    }
  std::vector<std::int16_t> pcm;
  vidrane::decode_voice(v.sound, pcm);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    return true;
  }();
  (void)quiet;
  static vidrane::VideoDecoder decoder;
  static std::int64_t pts = 0;
  std::span<const std::uint8_t> in(data, size);

  if (auto v = vidrane::parse_frame(in)) consume(decoder, *v, pts++);

  // Wrapped: the first byte splits the rest into the video and sound parts.
  if (size >= 1) {
    const std::size_t rest = size - 1;
    const std::size_t video = rest * data[0] / 255;
    std::vector<std::uint8_t> frame(24 + rest);
    const std::uint32_t words[6] = {0,
                                    1,
                                    0x12345678,
                                    1u | (25u << 2),
                                    static_cast<std::uint32_t>(video),
                                    static_cast<std::uint32_t>(rest - video)};
    std::memcpy(frame.data(), words, sizeof words);
    std::memcpy(frame.data() + 24, data + 1, rest);
    if (auto v = vidrane::parse_frame(frame)) consume(decoder, *v, pts++);
  }
  // Damage: input bytes XORed over real frames from an offset the input picks.
  static const std::vector<teststream::Frame> real = teststream::make_frames(
      {.width = 176, .height = 144, .gop = 2, .sound = true, .preset = "ultrafast"}, 2);
  if (size >= 3 && !real.empty()) {
    for (const auto& f : real) {
      std::vector<std::uint8_t> damaged = f.bytes;
      const std::size_t at = 24 + (data[0] | (data[1] << 8)) % (damaged.size() - 24);
      for (std::size_t i = 2; i < size && at + i - 2 < damaged.size(); ++i)
        damaged[at + i - 2] ^= data[i];
      if (auto v = vidrane::parse_frame(damaged)) consume(decoder, *v, pts++);
    }
  }
  if (pts % 64 == 0) decoder.flush();
  return 0;
}
