// The client's side of the wire, written here on bare platform sockets (not
// the SDK, not the simulator's parsers), so the tests check the simulated
// devices against the text of the protocol.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/net.h"

namespace simdevice {

inline constexpr std::uint32_t kSignature = 0x12345678;

inline platform::SockAddr loopback(int port) {
  return {0x7F000001u, static_cast<std::uint16_t>(port)};
}

// Bytes from a TCP connection with deadlines.
class Conn {
 public:
  Conn() = default;
  explicit Conn(platform::Socket s) : s_(std::move(s)) {}
  bool connect(const platform::SockAddr& to) {
    s_.reset(platform::tcp_socket());
    return s_ && platform::connect_with_timeout(s_.get(), to, 3000);
  }
  bool send(std::string_view text) { return platform::send_all(s_.get(), text, 3000); }
  platform::Socket& socket() { return s_; }

  // Up to and including the blank line after an RTSP answer's head.
  std::optional<std::string> read_head(int timeout_ms = 5000) {
    const std::uint64_t deadline = platform::tick_ms64() + std::uint64_t(timeout_ms);
    std::size_t end;
    while ((end = buf_.find("\r\n\r\n")) == std::string::npos)
      if (!fill(deadline)) return std::nullopt;
    std::string head = buf_.substr(0, end + 4);
    buf_.erase(0, end + 4);
    return head;
  }
  // Exactly n bytes.
  std::optional<std::string> read_exact(std::size_t n, int timeout_ms = 5000) {
    const std::uint64_t deadline = platform::tick_ms64() + std::uint64_t(timeout_ms);
    while (buf_.size() < n)
      if (!fill(deadline)) return std::nullopt;
    std::string out = buf_.substr(0, n);
    buf_.erase(0, n);
    return out;
  }
  // True when the peer closes within the time.
  bool closed_within(int timeout_ms) {
    const std::uint64_t deadline = platform::tick_ms64() + std::uint64_t(timeout_ms);
    while (!closed_) {
      buf_.clear();
      if (!fill(deadline) && !closed_) return false;
    }
    return true;
  }
  // True when nothing arrives for ms.
  bool quiet_for(int ms) {
    buf_.clear();
    return platform::wait_readable(s_.get(), ms) == 0;
  }
  void drop_buffer() { buf_.clear(); }

 private:
  bool fill(std::uint64_t deadline) {
    const std::uint64_t now = platform::tick_ms64();
    if (now >= deadline || closed_) return false;
    if (platform::wait_readable(s_.get(), int(deadline - now)) != 1) return false;
    char tmp[65536];
    int n = platform::recv_some(s_.get(), tmp, sizeof tmp);
    if (n <= 0) {
      closed_ = true;
      return false;
    }
    buf_.append(tmp, std::size_t(n));
    return true;
  }
  platform::Socket s_;
  std::string buf_;
  bool closed_ = false;
};

// One HTTP GET on a fresh connection; the body of a 200 answer.
inline std::optional<std::string> http_get(int port, const std::string& target) {
  Conn c;
  if (!c.connect(loopback(port))) return std::nullopt;
  if (!c.send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"))
    return std::nullopt;
  auto head = c.read_head();
  if (!head || head->compare(0, 12, "HTTP/1.1 200") != 0) return std::nullopt;
  std::size_t at = head->find("Content-Length:");
  if (at == std::string::npos) return std::nullopt;
  std::size_t n = std::strtoul(head->c_str() + at + 15, nullptr, 10);
  return c.read_exact(n);
}

inline std::string element(const std::string& xml, const std::string& name) {
  std::size_t a = xml.find("<" + name + ">");
  if (a == std::string::npos) return {};
  a += name.size() + 2;
  std::size_t b = xml.find("</" + name + ">", a);
  return b == std::string::npos ? std::string() : xml.substr(a, b - a);
}

// A header field's value as the client reads it: text after "Name:" and one
// character, up to the line end.
inline std::string field(const std::string& head, const std::string& name) {
  std::size_t at = head.find(name + ":");
  if (at == std::string::npos) return {};
  at += name.size() + 2;
  std::size_t end = head.find("\r\n", at);
  return head.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// A parameter of a field: the text after "name=" up to ';' or the end.
inline std::optional<long long> parameter(const std::string& value, const std::string& name) {
  std::size_t at = value.find(name + "=");
  if (at == std::string::npos) return std::nullopt;
  at += name.size() + 1;
  std::size_t end = value.find(';', at);
  std::string text = value.substr(at, end == std::string::npos ? std::string::npos : end - at);
  long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc()) return std::nullopt;
  return v;
}

inline std::uint32_t u32(const std::string& bytes, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}
inline std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         p[3];
}

struct Record {
  std::uint32_t number = 0;
  std::uint32_t signature = 0;
  std::uint32_t type = 0;
  std::uint32_t fps = 0;
  std::string video;
  std::string sound;
  std::size_t data_length = 0;  // first + second as the header says
};

// One 24-byte header and the data it announces. Refuses (nullopt) a data
// length over limit, leaving the data unread.
inline std::optional<Record> read_record(Conn& c, std::size_t limit = 131048,
                                         int timeout_ms = 5000) {
  auto head = c.read_exact(24, timeout_ms);
  if (!head) return std::nullopt;
  Record r;
  r.number = u32(*head, 4);
  r.signature = u32(*head, 8);
  r.type = u32(*head, 12) & 3u;
  r.fps = u32(*head, 12) >> 2;
  const std::uint32_t first = u32(*head, 16), second = u32(*head, 20);
  r.data_length = std::size_t(first) + second;
  if (r.data_length > limit) return r;
  auto data = c.read_exact(r.data_length, timeout_ms);
  if (!data) return std::nullopt;
  r.video = data->substr(0, first);
  r.sound = data->substr(first);
  return r;
}

// The PLAY as the client's RTSP socket formats it, method 4.
inline std::string tcp_play(const std::string& url, std::uint32_t session, const std::string& ip,
                            int port) {
  return "PLAY " + url + " RTSP/1.0\r\nCSeq: 4\r\nSession: " + std::to_string(session) +
         "\r\nTransport: ip=" + ip + "; port=" + std::to_string(port) +
         "; protocol=tcp\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n\r\n";
}

inline std::string udp_play(const std::string& peer_ip, int peer_port, const std::string& random,
                            std::uint32_t session, const std::string& ip, int port) {
  return "PLAY rtsp://" + peer_ip + ":" + std::to_string(peer_port) + "/" + random + "-" +
         std::to_string(session) + ".264 RTSP/1.0\r\nCSeq:2\r\nTransport: ip=" + ip +
         "; port=" + std::to_string(port) +
         "; protocol=udp\r\nUser-Agent: Kol Mobile(v1.0)\r\n\r\n";
}

inline std::string set_parameter(const std::string& url, const std::string& body) {
  return "SET_PARAMETER " + url +
         " RTSP/1.0\r\nCSeq: 6\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nContent-Type: text/parameters\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 6.00; "
         "Windows Mobile 6)\r\n\r\n" +
         body;
}

inline std::string teardown(const std::string& url, std::uint32_t session) {
  return "TEARDOWN " + url + " RTSP/1.0\r\nCSeq: 7\r\nSession: " + std::to_string(session) +
         "\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 6.00; Windows Mobile 6)\r\n\r\n";
}

inline std::vector<std::uint8_t> beat(bool back, std::uint32_t session) {
  std::uint32_t type = back ? 0x106 : 0x105;
  std::vector<std::uint8_t> b(8);
  for (int i = 0; i < 4; ++i) {
    b[i] = std::uint8_t(type >> (24 - 8 * i));
    b[4 + i] = std::uint8_t(session >> (24 - 8 * i));
  }
  return b;
}

// The UDP PLAY answer read the client's way: the address between "ip=" and
// the first ';', the port seven characters after that ';', and the numbers
// after "magic=" and "session-id=".
struct UdpAnswer {
  std::string ip;
  int port = 0;
  long long magic = 0;
  long long session = 0;
};
inline std::optional<UdpAnswer> parse_udp_answer(const std::string& text) {
  if (text.find("RTSP/1.0") == std::string::npos) return std::nullopt;
  std::size_t ip = text.find("ip="), semi = text.find(';');
  if (ip == std::string::npos || semi == std::string::npos || semi < ip) return std::nullopt;
  UdpAnswer a;
  a.ip = text.substr(ip + 3, semi - ip - 3);
  a.port = std::atoi(text.c_str() + semi + 7);
  std::size_t m = text.find("magic="), s = text.find("session-id=");
  if (m == std::string::npos || s == std::string::npos) return std::nullopt;
  a.magic = std::atoll(text.c_str() + m + 6);
  a.session = std::atoll(text.c_str() + s + 11);
  return a;
}

// A UDP datagram with a deadline.
inline std::optional<std::vector<std::uint8_t>> recv_datagram(SOCKET s, int timeout_ms,
                                                              platform::SockAddr* from = nullptr) {
  if (platform::wait_readable(s, timeout_ms) != 1) return std::nullopt;
  std::vector<std::uint8_t> buf(16384);
  platform::SockAddr f;
  int n = platform::recv_from(s, reinterpret_cast<char*>(buf.data()), int(buf.size()), &f);
  if (n < 0) return std::nullopt;
  buf.resize(std::size_t(n));
  if (from) *from = f;
  return buf;
}

inline bool send_datagram(SOCKET s, const std::vector<std::uint8_t>& d,
                          const platform::SockAddr& to) {
  return platform::send_to(s, reinterpret_cast<const char*>(d.data()), int(d.size()), to) ==
         int(d.size());
}

}  // namespace simdevice
