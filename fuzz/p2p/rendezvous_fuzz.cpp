// The rendezvous server's datagram handling. The input is a run of records:
//   flags (bits 0-1: which of four senders; bit 6: make the bytes a
//   registration by writing its type word and padding to 40 bytes),
//   a time step in 100 ms, a length, then the bytes.
// Every answer must be a 12-byte P2P_PEER_ADDR naming a sender that
// registered, and the table must stay within its bound. The device side's
// parsers read every datagram too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <vector>

#include "p2p_wire.h"
#include "rendezvous.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvsim::RendezvousServer server({/*max_sessions=*/8, /*idle_ms=*/2000});
  const platform::SockAddr senders[4] = {
      {0xC6336402u, 40000}, {0xC6336442u, 50000}, {0xC6336402u, 40001}, {0x7F000001u, 1}};
  std::set<std::uint16_t> registered;
  std::uint64_t now = 0;
  std::span<const std::uint8_t> in(data, size);
  while (in.size() >= 3) {
    const std::uint8_t flags = in[0];
    now += static_cast<std::uint64_t>(in[1]) * 100;
    const std::size_t len = std::min<std::size_t>(in[2], in.size() - 3);
    std::vector<std::byte> d;
    for (std::size_t i = 0; i < len; ++i) d.push_back(std::byte(in[3 + i]));
    in = in.subspan(3 + len);
    if (flags & 0x40) {
      d.resize(orvsim::kRegisterBytes, std::byte{0});
      d[0] = std::byte{0};
      d[1] = std::byte{0};
      d[2] = std::byte{1};
      d[3] = std::byte{2};
    }
    const auto& from = senders[flags & 3];

    if (auto p = orvsim::parse_peer_addr(d); p && d.size() != 12) std::abort();
    if (auto h = orvsim::parse_heart_beat(d); h && d.size() != 8) std::abort();
    const auto reg = orvsim::parse_registration(d);
    if (reg && (d.size() != 40 || reg->random.size() > 32)) std::abort();
    if (reg) registered.insert(from.port);

    server.handle(
        d, from,
        [&](std::span<const std::byte> out) {
          const auto named = orvsim::parse_peer_addr(out);
          if (!named || !registered.count(named->port)) std::abort();
          return true;
        },
        now);
    if (server.session_count() > 8) std::abort();
  }
  return 0;
}
