// The client's side of a punched path on raw UDP sockets, and a fixture that
// hands the device a path through the punching seam.
#pragma once

#include <map>
#include <optional>

#include "fixture.h"

namespace simdevice {

struct Slice {
  std::uint32_t magic = 0;
  std::uint32_t frame = 0;
  std::uint16_t count = 0;
  std::uint16_t index = 0;
  std::string data;
};

inline std::optional<Slice> read_slice(const std::vector<std::uint8_t>& d) {
  if (d.size() < 12 || d.size() == 8) return std::nullopt;
  Slice s;
  s.magic = be32(d.data());
  s.frame = be32(d.data() + 4);
  s.count = std::uint16_t(d[8] << 8 | d[9]);
  s.index = std::uint16_t(d[10] << 8 | d[11]);
  s.data.assign(reinterpret_cast<const char*>(d.data()) + 12, d.size() - 12);
  return s;
}

// The client's side of one punched path.
struct UdpClient {
  platform::Socket control{platform::udp_socket()};
  platform::Socket stream{platform::udp_socket()};
  platform::SockAddr device;  // control address of the device
  UdpAnswer answer;
  platform::SockAddr stream_to;

  UdpClient() {
    platform::bind_socket(control.get(), loopback(0));
    platform::bind_socket(stream.get(), loopback(0));
  }
  platform::SockAddr control_address() const { return *platform::local_address(control.get()); }
  int stream_port() const { return platform::local_address(stream.get())->port; }

  // PLAY until an answer arrives, skipping heart beats.
  bool play(const std::string& random, std::uint32_t session) {
    const std::string text =
        udp_play(device.ip_text(), device.port, random, session, "127.0.0.1", stream_port());
    std::vector<std::uint8_t> d(text.begin(), text.end());
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (!send_datagram(control.get(), d, device)) return false;
      const std::uint64_t deadline = platform::tick_ms64() + 1000;
      while (platform::tick_ms64() < deadline) {
        auto got = recv_datagram(control.get(), 200);
        if (!got || got->size() == 8) continue;
        auto a = parse_udp_answer(std::string(got->begin(), got->end()));
        if (!a) continue;
        answer = *a;
        stream_to = loopback(a->port);
        return true;
      }
    }
    return false;
  }

  // Punches on the stream socket until the device's heart-beat answer comes.
  bool punch() {
    for (int round = 0; round < 10; ++round) {
      send_datagram(stream.get(), beat(false, std::uint32_t(answer.session)), stream_to);
      const std::uint64_t deadline = platform::tick_ms64() + 300;
      while (platform::tick_ms64() < deadline) {
        auto got = recv_datagram(stream.get(), 50);
        if (got && got->size() == 8 && be32(got->data()) == 0x106 &&
            be32(got->data() + 4) == std::uint32_t(answer.session))
          return true;
      }
    }
    return false;
  }

  // Slices until `frames` whole frames are assembled (or the time is up).
  struct Result {
    std::vector<std::string> frames;  // in completion order
    std::vector<Slice> slices;        // every slice datagram seen
    int heart_beats = 0;
  };
  Result collect(std::size_t frames, int timeout_ms) {
    Result r;
    std::map<std::uint32_t, std::map<std::uint16_t, std::string>> pending;
    const std::uint64_t deadline = platform::tick_ms64() + std::uint64_t(timeout_ms);
    while (r.frames.size() < frames && platform::tick_ms64() < deadline) {
      auto got = recv_datagram(stream.get(), 100);
      if (!got) continue;
      if (got->size() == 8) {
        ++r.heart_beats;
        // The device's heart beat; the client answers it.
        if (be32(got->data()) == 0x105)
          send_datagram(stream.get(), beat(true, be32(got->data() + 4)), stream_to);
        continue;
      }
      auto s = read_slice(*got);
      if (!s) continue;
      r.slices.push_back(*s);
      if (s->magic != std::uint32_t(answer.magic)) continue;
      auto& parts = pending[s->frame];
      parts[s->index] = s->data;
      if (parts.size() == s->count) {
        std::string frame;
        for (auto& [i, d] : parts) frame += d;
        r.frames.push_back(frame);
        pending.erase(s->frame);
      }
    }
    return r;
  }
};

class SimDeviceUdpTest : public SimDeviceTest {
 protected:
  // A device path through the seam: a UDP socket already open to the client.
  void serve(UdpClient& client, const std::string& random, std::uint32_t session) {
    orvsim::Negotiation n;
    n.key = key(3);
    n.type = orvsim::ConnectType::client_monitor_p2p;
    n.random = random;
    n.session = session;
    n.format = *orvsim::format_for_resolution("qcif");
    n.format.fps = 25;
    devices().expect(n);
    platform::Socket device(platform::udp_socket());
    ASSERT_TRUE(platform::bind_socket(device.get(), loopback(0)));
    client.device = *platform::local_address(device.get());
    ASSERT_TRUE(devices().serve_udp(key(3), std::move(device), client.control_address()));
  }
};

}  // namespace simdevice
