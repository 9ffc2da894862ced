#include "request_text.h"

#include <cstdint>

#include "platform/text.h"

namespace morvic {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void append_byte_escape(std::string& out, unsigned value) {
  out += '%';
  out += kHex[(value >> 4) & 0xF];
  out += kHex[value & 0xF];
}

void append_unit_escape(std::string& out, std::uint32_t unit) {
  out += "%u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

// CP936 bytes of c, or empty when c does not come back from them unchanged.
std::string cp936_round_trip(wchar_t c) {
  const std::wstring_view one(&c, 1);
  std::string bytes = platform::cp936_from_wide(one);
  if (bytes.empty() || platform::wide_from_cp936(bytes) != one) return {};
  return bytes;
}

}  // namespace

std::string request_object_bytes(std::wstring_view object) {
  std::string out;
  out.reserve(object.size() * 2);
  for (wchar_t c : object) {
    const auto v = static_cast<std::uint32_t>(c);
    if (v == 0 || (v >= 0x01 && v <= 0x20) || v == 0x7F) {
      append_byte_escape(out, v);
    } else if (v < 0x7F) {
      out += static_cast<char>(v);
    } else if (v > 0x10FFFF) {
      append_unit_escape(out, 0xFFFD);
    } else if (std::string bytes = v >= 0xD800 && v <= 0xDFFF ? std::string() : cp936_round_trip(c);
               !bytes.empty()) {
      out += bytes;
    } else if (v > 0xFFFF) {
      append_unit_escape(out, 0xD800 + ((v - 0x10000) >> 10));
      append_unit_escape(out, 0xDC00 + ((v - 0x10000) & 0x3FF));
    } else {
      append_unit_escape(out, v);
    }
  }
  return out;
}

}  // namespace morvic
