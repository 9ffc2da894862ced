#include "record_scan.h"

#include <cstring>

namespace record {
namespace {

constexpr std::uint32_t kSignature = 0x12345678;
constexpr std::size_t kHeaderSize = 24;

std::uint32_t word(const std::uint8_t* p, int i) {
  std::uint32_t w;
  std::memcpy(&w, p + 4 * i, sizeof w);
  return w;
}

bool starts_with_start_code(const std::uint8_t* p, std::uint64_t n) {
  return (n >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1) ||
         (n >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1);
}

}  // namespace

RecordScan scan_record(std::span<const std::uint8_t> bytes) {
  RecordScan r;
  std::size_t at = 0;
  std::uint32_t previous = 0;
  auto fail = [&](const char* what) {
    r.error = std::string(what) + " at byte " + std::to_string(at) + " (frame " +
              std::to_string(r.frames + 1) + ")";
    return r;
  };
  while (at < bytes.size()) {
    const std::size_t left = bytes.size() - at;
    if (left < kHeaderSize) return fail("a cut header");
    const std::uint8_t* h = bytes.data() + at;
    if (word(h, 2) != kSignature) return fail("no frame signature");
    const std::uint64_t video = word(h, 4);
    const std::uint64_t data = video + word(h, 5);
    if (data > kMaxFrameData) return fail("a frame length past the limit");
    if (data > left - kHeaderSize) return fail("a cut frame");
    if (video == 0 || !starts_with_start_code(h + kHeaderSize, video))
      return fail("a video part without an H.264 start code");
    const bool key = (word(h, 3) & 3u) == 1;
    if (r.frames == 0 && !key) return fail("a first frame that is no key frame");
    const std::uint32_t number = word(h, 1);
    if (r.frames > 0 && number != previous + 1) ++r.numbering_restarts;
    previous = number;
    r.key_frames += key;
    ++r.frames;
    at += kHeaderSize + static_cast<std::size_t>(data);
  }
  r.whole = true;
  return r;
}

}  // namespace record
