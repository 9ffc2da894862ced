#include "p2p_datagram.h"

#include <cstring>

namespace pellin {

std::uint32_t read_be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

void write_be32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

std::optional<std::array<std::uint8_t, kRegisterSize>> encode_register(std::uint32_t session,
                                                                       std::string_view random) {
  if (random.size() > kRandomMax) return std::nullopt;
  std::array<std::uint8_t, kRegisterSize> out{};
  write_be32(out.data(), kRegister);
  write_be32(out.data() + 4, session);
  if (!random.empty()) std::memcpy(out.data() + 8, random.data(), random.size());
  return out;
}

std::array<std::uint8_t, kHeartBeatSize> encode_heart_beat(std::uint32_t type,
                                                           std::uint32_t session) {
  std::array<std::uint8_t, kHeartBeatSize> out{};
  write_be32(out.data(), type);
  write_be32(out.data() + 4, session);
  return out;
}

std::string PeerAddr::text() const {
  return std::to_string(ip >> 24) + '.' + std::to_string((ip >> 16) & 0xFF) + '.' +
         std::to_string((ip >> 8) & 0xFF) + '.' + std::to_string(ip & 0xFF);
}

Datagram parse_datagram(std::span<const std::uint8_t> data) {
  Datagram d;
  if (data.size() == kPeerAddrSize && read_be32(data.data()) == kPeerAddr) {
    d.kind = Datagram::Kind::peer_addr;
    d.peer.ip = read_be32(data.data() + 4);
    d.peer.port = static_cast<std::uint16_t>((data[8] << 8) | data[9]);
  } else if (data.size() == kHeartBeatSize) {
    const std::uint32_t type = read_be32(data.data());
    if (type == kHeartBeat || type == kHeartBeatBack) {
      d.kind = type == kHeartBeat ? Datagram::Kind::heart_beat : Datagram::Kind::heart_beat_back;
      d.session = read_be32(data.data() + 4);
    }
  }
  return d;
}

}  // namespace pellin
