// The rendezvous and heart-beat datagrams as pure functions on buffers. Every
// integer on the wire is big-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pellin {

inline constexpr std::uint32_t kRegister = 0x00000102;
inline constexpr std::uint32_t kPeerAddr = 0x00010102;
inline constexpr std::uint32_t kHeartBeat = 0x00000105;
inline constexpr std::uint32_t kHeartBeatBack = 0x00000106;

inline constexpr std::size_t kRegisterSize = 40;
inline constexpr std::size_t kPeerAddrSize = 12;
inline constexpr std::size_t kHeartBeatSize = 8;
// The random value travels in 32 bytes, NUL-padded: at most 31 characters.
inline constexpr std::size_t kRandomMax = 31;

std::uint32_t read_be32(const std::uint8_t* p);
void write_be32(std::uint8_t* p, std::uint32_t v);

// nullopt when the random value is longer than kRandomMax.
std::optional<std::array<std::uint8_t, kRegisterSize>> encode_register(std::uint32_t session,
                                                                       std::string_view random);
// type is kHeartBeat or kHeartBeatBack.
std::array<std::uint8_t, kHeartBeatSize> encode_heart_beat(std::uint32_t type,
                                                           std::uint32_t session);

struct PeerAddr {
  std::uint32_t ip = 0;  // host order
  std::uint16_t port = 0;
  std::string text() const;  // "a.b.c.d"
};

// What one received datagram is. Anything not recognised is kind none.
struct Datagram {
  enum class Kind { none, peer_addr, heart_beat, heart_beat_back } kind = Kind::none;
  PeerAddr peer;              // peer_addr
  std::uint32_t session = 0;  // heart beats (host order)
};
Datagram parse_datagram(std::span<const std::uint8_t> data);

}  // namespace pellin
