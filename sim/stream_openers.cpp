#include "stream_openers.h"

#include <algorithm>

#include "session_common.h"

namespace orvsim {

platform::Socket dial(const platform::SockAddr& to, const platform::StopSignal& stop,
                      int timeout_ms) {
  platform::Socket s(platform::tcp_socket());
  if (!s || platform::connect_until(s.get(), to, std::max(0, timeout_ms), stop) !=
                platform::ConnectResult::connected)
    return {};
  platform::set_nodelay(s.get(), true);
  return s;
}

std::optional<std::string> read_line(SOCKET s, const platform::StopSignal& stop, int timeout_ms) {
  std::string line;
  const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(std::max(0, timeout_ms));
  while (line.size() < 256) {
    const std::uint64_t now = now_ms();
    const int left = now < deadline ? static_cast<int>(deadline - now) : 0;
    if (platform::wait_readable(s, left, stop) != 1) return std::nullopt;
    char c = 0;
    if (platform::recv_some(s, &c, 1) != 1) return std::nullopt;
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    line.push_back(c);
  }
  return std::nullopt;
}

}  // namespace orvsim
