#include "session_common.h"

#include <mutex>
#include <random>

#include "device_rtsp.h"

namespace orvsim {
namespace {

std::uint32_t random_u32() {
  static std::mutex m;
  static std::mt19937 gen{std::random_device{}()};
  std::lock_guard lock(m);
  return gen();
}

}  // namespace

std::uint32_t random_token() {
  return 0x10000000u | (random_u32() & 0x2FFFFFFFu);
}

std::vector<std::uint8_t> prepare_frame(const teststream::Frame& source, std::uint32_t number,
                                        bool clear_signature) {
  std::vector<std::uint8_t> bytes = source.bytes;
  put_u32_host(bytes.data() + 4, number);
  if (clear_signature) {
    put_u32_host(bytes.data() + 8, 0);
    // Padded to whole headers, so a reader that tries every next 24 bytes as a
    // header meets the following frame's header exactly.
    const std::size_t data = bytes.size() - kFrameHeaderBytes;
    const std::size_t padded =
        (data + kFrameHeaderBytes - 1) / kFrameHeaderBytes * kFrameHeaderBytes;
    const std::size_t extra = padded - data;
    auto fields = read_frame_header(bytes);
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(kFrameHeaderBytes + fields->first),
                 extra, 0);
    put_u32_host(bytes.data() + 16, fields->first + static_cast<std::uint32_t>(extra));
  }
  return bytes;
}

std::vector<std::uint8_t> oversized_frame(std::uint32_t number, int fps) {
  const std::size_t data = (kMaxFrameBytes / kFrameHeaderBytes + 2) * kFrameHeaderBytes;
  std::vector<std::uint8_t> bytes(kFrameHeaderBytes + data, 0);
  put_u32_host(bytes.data() + 4, number);
  put_u32_host(bytes.data() + 8, kFrameSignature);
  put_u32_host(bytes.data() + 12, static_cast<std::uint32_t>(fps) << 2);
  put_u32_host(bytes.data() + 16, static_cast<std::uint32_t>(data));
  put_u32_host(bytes.data() + 20, 0);
  return bytes;
}

}  // namespace orvsim
