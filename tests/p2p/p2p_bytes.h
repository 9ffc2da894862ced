// Byte helpers of the P2P tests: datagrams written out by hand, so the tests
// check the wire and not one side's encoder against itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace p2ptest {

inline std::vector<std::byte> bytes(std::initializer_list<int> v) {
  std::vector<std::byte> out;
  for (int b : v) out.push_back(std::byte(b));
  return out;
}

inline void put_be32(std::vector<std::byte>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(std::byte((v >> s) & 0xFF));
}

inline std::vector<std::byte> registration(std::uint32_t session, const char* random) {
  std::vector<std::byte> out;
  put_be32(out, 0x00000102);
  put_be32(out, session);
  for (const char* p = random; *p; ++p) out.push_back(std::byte(*p));
  out.resize(40, std::byte{0});
  return out;
}

inline std::vector<std::byte> beat(std::uint32_t type, std::uint32_t session) {
  std::vector<std::byte> out;
  put_be32(out, type);
  put_be32(out, session);
  return out;
}

inline std::uint32_t be32(std::span<const std::byte> d, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | std::to_integer<std::uint32_t>(d[at + i]);
  return v;
}

// The value whose bytes in memory are the big-endian bytes of v.
inline std::uint32_t net32(std::uint32_t v) {
  const std::uint8_t b[4] = {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                             std::uint8_t(v)};
  std::uint32_t out;
  __builtin_memcpy(&out, b, 4);
  return out;
}

inline std::uint16_t net16(std::uint16_t v) {
  const std::uint8_t b[2] = {std::uint8_t(v >> 8), std::uint8_t(v)};
  std::uint16_t out;
  __builtin_memcpy(&out, b, 2);
  return out;
}

}  // namespace p2ptest
