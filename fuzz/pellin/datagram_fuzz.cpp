// Received datagrams: the input is a run of datagrams (one length byte, two
// sender-port bytes, then the bytes), each parsed and handed to OnUdpCERecv of
// an object that is not opened, so answers fail quietly instead of being sent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "p2p_datagram.h"
#include "pellin/pellin.h"
#include "platform/sockaddr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CUDP_CE ce;
  std::span<const std::uint8_t> in(data, size);
  while (in.size() >= 3) {
    const std::size_t len = std::min<std::size_t>(in[0], in.size() - 3);
    sockaddr_in from{};
    from.sin_family = (in[1] & 0x80) ? AF_INET6 : AF_INET;  // now and then not IPv4
    std::memcpy(&from.sin_port, &in[1], 2);
    std::vector<char> datagram(in.begin() + 3, in.begin() + 3 + static_cast<long>(len));
    in = in.subspan(3 + len);

    const auto d = pellin::parse_datagram(
        std::span(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size()));
    if (d.kind == pellin::Datagram::Kind::peer_addr && datagram.size() != 12) std::abort();
    ce.OnUdpCERecv(nullptr, datagram.data(), datagram.size(), reinterpret_cast<sockaddr*>(&from));

    char ip[20];
    int port = 0;
    if (!ce.GetP2pInfo(ip, sizeof ip, &port) || port < -1 || port > 65535) std::abort();
    if (std::strlen(ip) > 15) std::abort();
  }
  ce.OnUdpCERecv(nullptr, nullptr, 8, nullptr);
  return 0;
}
