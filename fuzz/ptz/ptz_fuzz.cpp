// Arbitrary protocol numbers, addresses, command codes and argument values,
// including protocol changes between commands: the encoding never reads or
// writes outside a frame and always yields whole lower-case hex bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "ptz/ptz_control.h"

namespace {

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  template <typename T>
  T Take() {
    T value{};
    const std::size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  std::uint16_t decoder_type = in.Take<std::uint16_t>() % 64;
  std::uint16_t held = 25;
  std::uint16_t address = in.Take<std::uint16_t>();
  std::unique_ptr<velmo::CPTZProtocol> encoder;
  while (in.size > 0) {
    const std::uint8_t op = in.Take<std::uint8_t>();
    if (op & 0x80) decoder_type = static_cast<std::uint16_t>(op & 0x3F);
    if (op & 0x40) address = in.Take<std::uint16_t>();
    const int command = in.Take<std::int8_t>();
    const int a = in.Take<std::int32_t>();
    const int b = in.Take<std::int32_t>();
    const int c = in.Take<std::int32_t>();
    const int d = in.Take<std::int32_t>();
    const std::string text =
        velmo::EncodePtzCommand({decoder_type, held, address, encoder}, command, a, b, c, d);
    if (text.size() % 2 != 0 || text.size() > 2 * velmo::CPTZProtocol::kMaxFrame) std::abort();
    for (char ch : text) {
      if (!((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'))) std::abort();
    }
    if (held != decoder_type) std::abort();
    if (!text.empty() && encoder == nullptr) std::abort();
  }
  return 0;
}
