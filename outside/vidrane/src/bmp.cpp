#include "bmp.h"

#include <algorithm>

#include "vidrane/vidrane.h"

namespace vidrane {

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  put16(out, at, v & 0xFFFF);
  put16(out, at + 2, v >> 16);
}

std::uint8_t clamp8(int v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encode_bmp(std::span<const std::uint8_t> picture,
                                                    long width, long height, long type) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return std::nullopt;
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t h = static_cast<std::size_t>(height);
  const std::size_t cw = (w + 1) / 2;
  const std::size_t ch = (h + 1) / 2;
  std::size_t need = 0;
  if (type == PLAY264_PICTURE_I420)
    need = w * h + 2 * cw * ch;
  else if (type == PLAY264_PICTURE_BGRA)
    need = w * h * 4;
  else
    return std::nullopt;
  if (picture.size() < need) return std::nullopt;

  const std::size_t row = (w * 3 + 3) & ~std::size_t{3};
  const std::size_t data = row * h;
  constexpr std::size_t kHeaders = 14 + 40;
  std::vector<std::uint8_t> out(kHeaders + data, 0);
  out[0] = 'B';
  out[1] = 'M';
  put32(out, 2, static_cast<std::uint32_t>(out.size()));
  put32(out, 10, kHeaders);
  put32(out, 14, 40);
  put32(out, 18, static_cast<std::uint32_t>(w));
  put32(out, 22, static_cast<std::uint32_t>(h));  // positive: bottom-up rows
  put16(out, 26, 1);                              // planes
  put16(out, 28, 24);                             // bits per pixel
  put32(out, 34, static_cast<std::uint32_t>(data));
  put32(out, 38, 2835);  // 72 dpi
  put32(out, 42, 2835);

  for (std::size_t y = 0; y < h; ++y) {
    std::uint8_t* dst = out.data() + kHeaders + (h - 1 - y) * row;
    if (type == PLAY264_PICTURE_BGRA) {
      const std::uint8_t* src = picture.data() + y * w * 4;
      for (std::size_t x = 0; x < w; ++x) {
        dst[3 * x] = src[4 * x];
        dst[3 * x + 1] = src[4 * x + 1];
        dst[3 * x + 2] = src[4 * x + 2];
      }
      continue;
    }
    // BT.601 limited range, the colour space of these cameras.
    const std::uint8_t* py = picture.data() + y * w;
    const std::uint8_t* pu = picture.data() + w * h + (y / 2) * cw;
    const std::uint8_t* pv = picture.data() + w * h + cw * ch + (y / 2) * cw;
    for (std::size_t x = 0; x < w; ++x) {
      const int c = 298 * (py[x] - 16);
      const int d = pu[x / 2] - 128;
      const int e = pv[x / 2] - 128;
      dst[3 * x] = clamp8((c + 516 * d + 128) >> 8);
      dst[3 * x + 1] = clamp8((c - 100 * d - 208 * e + 128) >> 8);
      dst[3 * x + 2] = clamp8((c + 409 * e + 128) >> 8);
    }
  }
  return out;
}

}  // namespace vidrane
