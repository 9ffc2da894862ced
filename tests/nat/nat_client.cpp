// The client behind its NAT, through the SDK's exports only.
//   nat_client auth <server-ip> <http-port> <i2c> <tel>
//       authentication, with its two address queries (port drift)
//   nat_client punch <server-ip> <p2p-port> <session> <random> <max-try> <interval> <need>
//       UdpMakeHole, then heart beats both ways over the punched path
// Prints what happened on one line per step; exit 0 when the step worked,
// 1 when punching failed, 2 when the punched path did not carry beats.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/net.h"
#include "velmosdk.h"
#include "velmosdk_p2p.h"

namespace {

// The value whose bytes in memory are v's big-endian bytes.
unsigned long net32(std::uint32_t v) {
  const std::uint8_t b[4] = {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                             std::uint8_t(v)};
  std::uint32_t out;
  std::memcpy(&out, b, 4);
  return out;
}

std::wstring wide(const std::string& s) {
  return std::wstring(s.begin(), s.end());
}

int auth(char** argv) {
  if (InitMonitClientSDK() != 1) return 3;
  std::string i2c = argv[4];
  const int ok = UserAnthenticate(i2c.data(), static_cast<int>(i2c.size()), wide(argv[5]).c_str(),
                                  wide(argv[2]).c_str(), std::atoi(argv[3]), 5);
  std::printf("auth %s\n", ok ? "ok" : "failed");
  ReleaseMonitClientSDK();
  return ok ? 0 : 1;
}

int punch(char** argv) {
  const auto session = static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10));
  const int need = std::atoi(argv[8]);
  const auto t0 = std::chrono::steady_clock::now();
  const unsigned int s = UdpMakeHole(argv[2], std::atoi(argv[3]), session, argv[5],
                                     std::atoi(argv[6]), std::atoi(argv[7]), 0);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  if (s == INVALID_SOCKET) {
    std::printf("punch failed ms=%lld\n", static_cast<long long>(ms));
    return 1;
  }
  char ip[20] = {};
  GetRemoteIP(s, ip, sizeof ip);
  const int port = GetRemotePort(s);
  std::printf("punch ok ms=%lld peer=%s:%d\n", static_cast<long long>(ms), ip, port);
  std::fflush(stdout);

  // The path now belongs to us: beat towards the device, answer its beats.
  const std::wstring peer = wide(ip);
  int sent = 0, answered = 0, device_beats = 0;
  std::uint64_t next_beat = 0;
  const std::uint64_t until = platform::tick_ms64() + 8000;
  while (platform::tick_ms64() < until && (answered < need || device_beats < need)) {
    if (platform::tick_ms64() >= next_beat) {
      sent += SendHeartBeat_RTP(s, peer.c_str(), port, net32(session));
      next_beat = platform::tick_ms64() + 200;
    }
    if (platform::wait_readable(s, 50) != 1) continue;
    char buf[64];
    platform::SockAddr from;
    const int n = platform::recv_from(s, buf, sizeof buf, &from);
    if (IsHeartBeat_RTP(s, buf, n, net32(session))) {
      ++device_beats;
      SendHeartBeatBack_RTP(s, wide(from.ip_text()).c_str(), from.port, net32(session));
    } else if (IsHeartBeatBack_RTP(s, buf, n, net32(session))) {
      ++answered;
    }
  }
  std::printf("beats sent=%d answered=%d device_beats=%d\n", sent, answered, device_beats);
  const int released = ReleaseP2pSocket(s);
  return answered >= need && device_beats >= need && released == 1 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "auth") == 0) return auth(argv);
  if (argc == 9 && std::strcmp(argv[1], "punch") == 0) {
    // The P2P exports work only while the library is started.
    if (InitMonitClientSDK() != 1) return 3;
    const int result = punch(argv);
    ReleaseMonitClientSDK();
    return result;
  }
  std::fprintf(stderr,
               "usage: nat_client auth <server-ip> <http-port> <i2c> <tel>\n"
               "       nat_client punch <server-ip> <p2p-port> <session> <random> <max-try> "
               "<interval> <need>\n");
  return 3;
}
