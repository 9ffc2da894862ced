// The rendezvous and heart-beat datagrams as the device and the p2p server
// write and read them. Every integer on the wire is big-endian. The type words
// are those of addr_responder.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "addr_responder.h"
#include "platform/net.h"

namespace orvsim {

inline constexpr std::size_t kRegisterBytes = 40;
inline constexpr std::size_t kPeerAddrBytes = 12;
inline constexpr std::size_t kHeartBeatBytes = 8;
// Bytes 8-39 of a registration carry the random value, NUL-padded.
inline constexpr std::size_t kRandomField = 32;

struct Registration {
  std::uint32_t session = 0;
  std::string random;  // up to the first NUL of its field
};

// Exactly 40 bytes of type P2P_REGISTER; anything else is nullopt.
std::optional<Registration> parse_registration(std::span<const std::byte> data);
// nullopt when the random value does not leave room for its NUL (> 31 bytes).
std::optional<std::vector<std::byte>> encode_registration(std::uint32_t session,
                                                          std::string_view random);

// A 12-byte P2P_PEER_ADDR; bytes 10-11 are not part of it.
std::optional<platform::SockAddr> parse_peer_addr(std::span<const std::byte> data);

struct HeartBeat {
  bool back = false;  // P2P_HEART_BEAT_BACK rather than P2P_HEART_BEAT
  std::uint32_t session = 0;
};
// Exactly 8 bytes of either heart-beat type.
std::optional<HeartBeat> parse_heart_beat(std::span<const std::byte> data);
std::vector<std::byte> encode_heart_beat(bool back, std::uint32_t session);

}  // namespace orvsim
