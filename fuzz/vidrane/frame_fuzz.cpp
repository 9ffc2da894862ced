// The live frame input path: header parsing, the H.264 decoder fed whatever
// the first data part holds, and the voice frames of the second part. The
// input is taken both as a raw frame and wrapped in a valid header, so random
// bytes reach the decoder and the voice decoder too.
#include <cstdint>
#include <cstring>
#include <vector>

#include "decoder.h"
#include "frame.h"
#include "sound.h"

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
  if (pts % 64 == 0) decoder.flush();
  return 0;
}
