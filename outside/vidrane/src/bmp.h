// Pictures to 24-bit bitmap files (bottom-up rows padded to 4 bytes, with the
// 14-byte file header and the 40-byte information header).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vidrane {

// The whole file for a picture of the given type (PLAY264_PICTURE_*); nullopt
// when the size does not match the type and dimensions.
std::optional<std::vector<std::uint8_t>> encode_bmp(std::span<const std::uint8_t> picture,
                                                    long width, long height, long type);

}  // namespace vidrane
