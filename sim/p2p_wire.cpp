#include "p2p_wire.h"

namespace orvsim {
namespace {

void put_be32(std::vector<std::byte>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::byte((v >> shift) & 0xFF));
}

}  // namespace

std::optional<Registration> parse_registration(std::span<const std::byte> data) {
  if (data.size() != kRegisterBytes || read_be32(data, 0) != kP2pRegister) return std::nullopt;
  Registration r;
  r.session = read_be32(data, 4);
  for (std::size_t i = 8; i < kRegisterBytes && data[i] != std::byte{0}; ++i)
    r.random.push_back(static_cast<char>(data[i]));
  return r;
}

std::optional<std::vector<std::byte>> encode_registration(std::uint32_t session,
                                                          std::string_view random) {
  if (random.size() >= kRandomField) return std::nullopt;
  std::vector<std::byte> out;
  out.reserve(kRegisterBytes);
  put_be32(out, kP2pRegister);
  put_be32(out, session);
  for (char c : random) out.push_back(std::byte(static_cast<unsigned char>(c)));
  out.resize(kRegisterBytes, std::byte{0});
  return out;
}

std::optional<platform::SockAddr> parse_peer_addr(std::span<const std::byte> data) {
  if (data.size() != kPeerAddrBytes || read_be32(data, 0) != kP2pPeerAddr) return std::nullopt;
  platform::SockAddr a;
  a.ip = read_be32(data, 4);
  a.port = static_cast<std::uint16_t>((std::to_integer<unsigned>(data[8]) << 8) |
                                      std::to_integer<unsigned>(data[9]));
  return a;
}

std::optional<HeartBeat> parse_heart_beat(std::span<const std::byte> data) {
  if (data.size() != kHeartBeatBytes) return std::nullopt;
  const std::uint32_t type = read_be32(data, 0);
  if (type != kP2pHeartBeat && type != kP2pHeartBeatBack) return std::nullopt;
  return HeartBeat{type == kP2pHeartBeatBack, read_be32(data, 4)};
}

std::vector<std::byte> encode_heart_beat(bool back, std::uint32_t session) {
  std::vector<std::byte> out;
  out.reserve(kHeartBeatBytes);
  put_be32(out, back ? kP2pHeartBeatBack : kP2pHeartBeat);
  put_be32(out, session);
  return out;
}

}  // namespace orvsim
