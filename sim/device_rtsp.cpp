#include "device_rtsp.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace orvsim {
namespace {

constexpr std::uint32_t kTypeRegister = 0x00000102;
constexpr std::uint32_t kTypePeerAddr = 0x00010102;
constexpr std::uint32_t kTypeHeartBeat = 0x00000105;
constexpr std::uint32_t kTypeHeartBeatBack = 0x00000106;

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

template <typename T>
std::optional<T> whole_number(std::string_view text) {
  T v{};
  if (text.empty()) return std::nullopt;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void put_be16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

std::uint32_t host32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

const std::string* RtspRequest::field(std::string_view name) const {
  for (const auto& [n, v] : fields)
    if (same_text(n, name)) return &v;
  return nullptr;
}

int RtspRequest::cseq() const {
  const std::string* v = field("CSeq");
  if (!v) return -1;
  auto n = whole_number<int>(*v);
  return n && *n >= 0 ? *n : -1;
}

RtspParseResult parse_rtsp_request(std::string_view buffer) {
  RtspParseResult r;
  // A datagram or stream may start with stray line ends between requests.
  std::size_t start = 0;
  while (start < buffer.size() && (buffer[start] == '\r' || buffer[start] == '\n')) ++start;
  std::string_view rest = buffer.substr(start);
  std::size_t head_end = std::string_view::npos;
  std::size_t crlf = rest.find("\r\n\r\n");
  std::size_t lflf = rest.find("\n\n");
  if (crlf != std::string_view::npos) head_end = crlf + 4;
  if (lflf != std::string_view::npos && (head_end == std::string_view::npos || lflf + 2 < head_end))
    head_end = lflf + 2;
  if (head_end == std::string_view::npos) {
    if (rest.size() > kMaxRtspHead) {
      r.status = RtspParse::bad;
      r.error = "request head longer than " + std::to_string(kMaxRtspHead) + " bytes";
    }
    return r;
  }
  if (head_end > kMaxRtspHead) {
    r.status = RtspParse::bad;
    r.error = "request head longer than " + std::to_string(kMaxRtspHead) + " bytes";
    return r;
  }
  RtspRequest& q = r.request;
  q.head = std::string(rest.substr(0, head_end));
  std::string_view head = q.head;
  bool first = true;
  while (!head.empty()) {
    std::size_t eol = head.find('\n');
    std::string_view line = head.substr(0, eol);
    head.remove_prefix(eol == std::string_view::npos ? head.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (first) {
      first = false;
      std::size_t a = line.find(' ');
      std::size_t b = a == std::string_view::npos ? a : line.find(' ', a + 1);
      if (a == 0 || b == std::string_view::npos || b == a + 1 || b + 1 >= line.size()) {
        r.status = RtspParse::bad;
        r.error = "malformed request line";
        return r;
      }
      q.method = std::string(line.substr(0, a));
      q.url = std::string(line.substr(a + 1, b - a - 1));
      q.version = std::string(trim(line.substr(b + 1)));
      if (q.version.rfind("RTSP/", 0) != 0) {
        r.status = RtspParse::bad;
        r.error = "not an RTSP request: " + q.version;
        return r;
      }
      continue;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
      r.status = RtspParse::bad;
      r.error = "header line without a name";
      return r;
    }
    q.fields.emplace_back(std::string(trim(line.substr(0, colon))),
                          std::string(trim(line.substr(colon + 1))));
  }
  if (first) {
    r.status = RtspParse::bad;
    r.error = "empty request";
    return r;
  }
  std::size_t body = 0;
  if (const std::string* cl = q.field("Content-Length")) {
    auto n = whole_number<std::size_t>(*cl);
    if (!n) {
      r.status = RtspParse::bad;
      r.error = "malformed Content-Length";
      return r;
    }
    if (*n > kMaxRtspBody) {
      r.status = RtspParse::bad;
      r.error = "body longer than " + std::to_string(kMaxRtspBody) + " bytes";
      return r;
    }
    body = *n;
  }
  if (rest.size() - head_end < body) return RtspParseResult{};  // body still coming
  q.body = std::string(rest.substr(head_end, body));
  r.status = RtspParse::complete;
  r.consumed = start + head_end + body;
  return r;
}

std::optional<SessionUrl> parse_session_url(std::string_view url) {
  constexpr std::string_view scheme = "rtsp://";
  if (url.size() < scheme.size() || !same_text(url.substr(0, scheme.size()), scheme))
    return std::nullopt;
  url.remove_prefix(scheme.size());
  std::size_t slash = url.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view authority = url.substr(0, slash);
  std::string_view path = url.substr(slash + 1);
  SessionUrl out;
  std::size_t colon = authority.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  out.host = std::string(authority.substr(0, colon));
  auto port = whole_number<int>(authority.substr(colon + 1));
  if (!port || *port < 0 || *port > 65535) return std::nullopt;
  out.port = *port;
  std::size_t last = path.rfind('/');
  if (last != std::string_view::npos) path.remove_prefix(last + 1);
  constexpr std::string_view ext = ".264";
  if (path.size() <= ext.size() || path.substr(path.size() - ext.size()) != ext)
    return std::nullopt;
  path.remove_suffix(ext.size());
  std::size_t dash = path.rfind('-');
  if (dash == std::string_view::npos) return std::nullopt;
  // "r3--294967296": the separator, then a session printed as a negative number.
  if (dash > 0 && path[dash - 1] == '-') --dash;
  auto session = whole_number<std::uint32_t>(path.substr(dash + 1));
  if (!session) {
    // The client prints the session as a signed number when it is above 2^31.
    auto negative = whole_number<std::int32_t>(path.substr(dash + 1));
    if (!negative) return std::nullopt;
    session = static_cast<std::uint32_t>(*negative);
  }
  out.random = std::string(path.substr(0, dash));
  out.session = *session;
  return out;
}

std::optional<TransportSpec> parse_transport(std::string_view value) {
  TransportSpec t;
  bool any = false;
  while (!value.empty()) {
    std::size_t semi = value.find(';');
    std::string_view item = trim(value.substr(0, semi));
    value.remove_prefix(semi == std::string_view::npos ? value.size() : semi + 1);
    std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view name = trim(item.substr(0, eq));
    std::string_view v = trim(item.substr(eq + 1));
    if (same_text(name, "ip")) {
      t.ip = std::string(v);
      any = true;
    } else if (same_text(name, "port")) {
      auto p = whole_number<int>(v);
      if (!p || *p < 0 || *p > 65535) return std::nullopt;
      t.port = *p;
      any = true;
    } else if (same_text(name, "protocol")) {
      t.protocol = std::string(v);
      any = true;
    }
  }
  if (!any || t.port < 0) return std::nullopt;
  return t;
}

PtzBody parse_ptz_body(std::string_view body) {
  PtzBody p;
  bool have_chan = false, have_length = false, have_content = false;
  std::string_view rest = body;
  while (!rest.empty()) {
    std::size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = trim(line.substr(0, colon));
    std::string_view value = trim(line.substr(colon + 1));
    if (same_text(name, "command")) {
      p.command = std::string(value);
    } else if (same_text(name, "chan")) {
      auto n = whole_number<int>(value);
      p.chan = n.value_or(-1);
      have_chan = n.has_value();
    } else if (same_text(name, "length")) {
      auto n = whole_number<int>(value);
      p.length = n.value_or(-1);
      have_length = n.has_value();
    } else if (same_text(name, "content")) {
      p.content = std::string(value);
      have_content = true;
    }
  }
  if (p.command != "ptz-control" || !have_chan || !have_length || !have_content) return p;
  if (p.length != static_cast<int>(p.content.size()) || p.content.size() % 2 != 0) return p;
  for (std::size_t i = 0; i < p.content.size(); i += 2) {
    int hi = hex_value(p.content[i]), lo = hex_value(p.content[i + 1]);
    if (hi < 0 || lo < 0) {
      p.bytes.clear();
      return p;
    }
    p.bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  p.valid = true;
  return p;
}

std::string_view rtsp_reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 454:
      return "Session Not Found";
    case 455:
      return "Method Not Valid in This State";
    case 461:
      return "Unsupported Transport";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

std::string rtsp_status_answer(int cseq, int status, std::optional<std::uint32_t> session) {
  std::string a =
      "RTSP/1.0 " + std::to_string(status) + " " + std::string(rtsp_reason(status)) + "\r\n";
  if (cseq >= 0) a += "CSeq: " + std::to_string(cseq) + "\r\n";
  if (session) a += "Session: " + std::to_string(*session) + "\r\n";
  return a + "\r\n";
}

std::string rtsp_play_answer(const PlayAnswer& p) {
  // Transport first: a reader that takes the port seven characters after the
  // first ';' and the address between the first "ip=" and that ';' finds them.
  std::string a = "RTSP/1.0 200 OK\r\n";
  a += "Transport: ip=" + p.ip + "; port=" + std::to_string(p.port) +
       "; protocol=" + (p.udp ? "udp" : "tcp") + "\r\n";
  a += "RTP-Info: magic=" + std::to_string(p.magic) +
       "; session-id=" + std::to_string(p.stream_session) + "\r\n";
  if (p.cseq >= 0) a += "CSeq: " + std::to_string(p.cseq) + "\r\n";
  if (p.session) a += "Session: " + std::to_string(*p.session) + "\r\n";
  return a + "\r\n";
}

std::optional<HeartBeatFrame> read_heart_beat(std::span<const std::uint8_t> data) {
  if (data.size() != 8) return std::nullopt;
  std::uint32_t type = be32(data.data());
  if (type != kTypeHeartBeat && type != kTypeHeartBeatBack) return std::nullopt;
  return HeartBeatFrame{type == kTypeHeartBeatBack, be32(data.data() + 4)};
}

std::vector<std::uint8_t> heart_beat_bytes(bool back, std::uint32_t session) {
  std::vector<std::uint8_t> out;
  put_be32(out, back ? kTypeHeartBeatBack : kTypeHeartBeat);
  put_be32(out, session);
  return out;
}

std::optional<std::vector<std::uint8_t>> register_bytes(std::uint32_t session,
                                                        std::string_view random) {
  if (random.size() > 31) return std::nullopt;
  std::vector<std::uint8_t> out;
  put_be32(out, kTypeRegister);
  put_be32(out, session);
  out.insert(out.end(), random.begin(), random.end());
  out.resize(40, 0);
  return out;
}

std::optional<PeerAddress> read_peer_addr(std::span<const std::uint8_t> data) {
  if (data.size() != 12 || be32(data.data()) != kTypePeerAddr) return std::nullopt;
  PeerAddress p;
  p.ip = be32(data.data() + 4);
  p.port = static_cast<std::uint16_t>((data[8] << 8) | data[9]);
  return p;
}

std::optional<FrameFields> read_frame_header(std::span<const std::uint8_t> data) {
  if (data.size() < kFrameHeaderBytes) return std::nullopt;
  FrameFields f;
  f.number = host32(data.data() + 4);
  f.signature = host32(data.data() + 8);
  std::uint32_t word = host32(data.data() + 12);
  f.type = word & 3u;
  f.fps = word >> 2;
  f.first = host32(data.data() + 16);
  f.second = host32(data.data() + 20);
  return f;
}

void put_u32_host(std::uint8_t* at, std::uint32_t value) {
  std::memcpy(at, &value, 4);
}

std::optional<SliceFields> read_slice_header(std::span<const std::uint8_t> data) {
  if (data.size() < kSliceHeaderBytes) return std::nullopt;
  SliceFields s;
  s.magic = be32(data.data());
  s.frame = be32(data.data() + 4);
  s.count = static_cast<std::uint16_t>((data[8] << 8) | data[9]);
  s.index = static_cast<std::uint16_t>((data[10] << 8) | data[11]);
  return s;
}

std::vector<std::vector<std::uint8_t>> slice_frame(std::span<const std::uint8_t> frame,
                                                   std::uint32_t magic, std::uint32_t number) {
  std::vector<std::vector<std::uint8_t>> slices;
  const std::size_t count =
      std::max<std::size_t>(1, (frame.size() + kSliceDataBytes - 1) / kSliceDataBytes);
  if (count > 0xFFFF) return slices;
  slices.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::vector<std::uint8_t> d;
    const std::size_t from = i * kSliceDataBytes;
    const std::size_t n = std::min(kSliceDataBytes, frame.size() - std::min(frame.size(), from));
    d.reserve(kSliceHeaderBytes + n);
    put_be32(d, magic);
    put_be32(d, number);
    put_be16(d, static_cast<std::uint16_t>(count));
    put_be16(d, static_cast<std::uint16_t>(i));
    d.insert(d.end(), frame.begin() + static_cast<std::ptrdiff_t>(from),
             frame.begin() + static_cast<std::ptrdiff_t>(from + n));
    slices.push_back(std::move(d));
  }
  return slices;
}

}  // namespace orvsim
