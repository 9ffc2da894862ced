#include "live_peers.h"

#include <cstring>

#include "platform/clock.h"

namespace velmo::test {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr int kFrameMs = 40;

platform::Socket listening_tcp(int& port) {
  platform::Socket s(platform::tcp_socket());
  platform::set_reuse_addr(s.get(), true);
  platform::bind_socket(s.get(), {kLoopback, 0});
  platform::listen_socket(s.get(), 8);
  port = platform::local_address(s.get())->port;
  return s;
}

platform::Socket bound_udp(int& port) {
  platform::Socket s(platform::udp_socket());
  platform::bind_socket(s.get(), {kLoopback, 0});
  port = platform::local_address(s.get())->port;
  return s;
}

void put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}
std::uint32_t get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

const std::vector<teststream::Frame>& stream_frames() {
  static const auto frames = [] {
    teststream::Options o;
    o.width = 176;
    o.height = 144;
    o.fps = 25;
    o.gop = 10;
    return teststream::make_frames(o, 50);
  }();
  return frames;
}

std::vector<std::uint8_t> stream_frame(std::uint64_t i) {
  const auto& f = stream_frames();
  auto bytes = f[i % f.size()].bytes;
  const auto number = static_cast<std::uint32_t>(i + 1);
  std::memcpy(bytes.data() + 4, &number, 4);
  return bytes;
}

double stream_kbits_per_second() {
  std::uint64_t bytes = 0;
  for (const auto& f : stream_frames()) bytes += f.bytes.size();
  const double seconds = static_cast<double>(stream_frames().size()) / 25.0;
  return static_cast<double>(bytes) * 8.0 / 1000.0 / seconds;
}

// ---- TCP device ----

TcpDevice::TcpDevice(Behaviour behaviour) : behaviour_(behaviour) {
  control_listener_ = listening_tcp(control_port_);
  stream_listener_ = listening_tcp(stream_port_);
  accept_thread_ = std::thread([this] { accept_loop(); });
}

TcpDevice::~TcpDevice() {
  stop_.store(true);
  drop_connections();
  accept_thread_.join();
  std::lock_guard lock(threads_m_);
  for (auto& t : threads_) t.join();
}

void TcpDevice::accept_loop() {
  while (!stop_.load()) {
    for (auto* l : {&control_listener_, &stream_listener_}) {
      if (platform::wait_readable(l->get(), 20) <= 0) continue;
      platform::Socket s(platform::accept_socket(l->get()));
      if (!s) continue;
      std::lock_guard lock(threads_m_);
      if (l == &control_listener_)
        threads_.emplace_back([this, s = std::move(s)]() mutable { serve(std::move(s)); });
      else
        threads_.emplace_back([this, s = std::move(s)]() mutable { stream_to(std::move(s)); });
    }
  }
}

void TcpDevice::connect_back(int client_port) {
  client_port_ = client_port;
  std::lock_guard lock(threads_m_);
  threads_.emplace_back([this, client_port] {
    platform::Socket s(platform::tcp_socket());
    if (!platform::connect_with_timeout(s.get(),
                                        {kLoopback, static_cast<std::uint16_t>(client_port)}, 2000))
      return;
    serve(std::move(s));
  });
}

void TcpDevice::note(const std::string& request) {
  {
    std::lock_guard lock(m_);
    requests_.push_back(request);
  }
  cv_.notify_all();
}

std::vector<std::string> TcpDevice::requests() const {
  std::lock_guard lock(m_);
  return requests_;
}

bool TcpDevice::wait_requests(const std::string& method, std::size_t count, int timeout_ms) const {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    std::size_t n = 0;
    for (const auto& r : requests_) n += r.rfind(method + " ", 0) == 0;
    return n >= count;
  });
}

void TcpDevice::drop_connections() {
  ++generation_;
  std::lock_guard lock(m_);
  for (SOCKET s : live_) platform::shutdown_socket(s);
}

void TcpDevice::serve(platform::Socket control) {
  {
    std::lock_guard lock(m_);
    live_.push_back(control.get());
  }
  const std::uint64_t generation = generation_.load();
  auto forget = [&] {
    std::lock_guard lock(m_);
    std::erase(live_, control.get());
  };
  if (behaviour_ == Behaviour::drop_at_once) {
    forget();
    return;
  }
  std::string buf;
  while (!stop_.load() && generation == generation_.load()) {
    const int w = platform::wait_readable(control.get(), 20);
    if (w < 0) break;
    if (w == 0) continue;
    char chunk[512];
    const int n = platform::recv_some(control.get(), chunk, sizeof chunk);
    if (n <= 0) break;
    buf.append(chunk, static_cast<std::size_t>(n));
    for (;;) {
      const auto end = buf.find("\r\n\r\n");
      if (end == std::string::npos) break;
      std::size_t body = 0;
      const auto cl = buf.find("Content-Length: ");
      if (cl != std::string::npos && cl < end) body = std::stoul(buf.substr(cl + 16));
      if (buf.size() < end + 4 + body) break;
      const std::string request = buf.substr(0, end + 4 + body);
      buf.erase(0, end + 4 + body);
      note(request);
      if (request.rfind("PLAY ", 0) == 0 && behaviour_ != Behaviour::silent) {
        const bool back = client_port_ != 0;
        const std::string answer = "RTSP/1.0 200 OK\r\nCSeq: 4\r\nTransport: ip=127.0.0.1; port=" +
                                   std::to_string(back ? 1 : stream_port_) +
                                   "; protocol=tcp\r\nRTP-Info: magic=7; session-id=9\r\n\r\n";
        platform::send_all(control.get(), answer, 1000);
        if (back) {
          platform::Socket s(platform::tcp_socket());
          if (platform::connect_with_timeout(
                  s.get(), {kLoopback, static_cast<std::uint16_t>(client_port_)}, 2000)) {
            std::lock_guard lock(threads_m_);
            threads_.emplace_back([this, s = std::move(s)]() mutable { stream_to(std::move(s)); });
          }
        }
      } else if (request.rfind("TEARDOWN ", 0) == 0) {
        platform::send_all(control.get(), "RTSP/1.0 200 OK\r\nCSeq: 7\r\n\r\n", 1000);
      }
    }
  }
  forget();
}

void TcpDevice::stream_to(platform::Socket s) {
  {
    std::lock_guard lock(m_);
    live_.push_back(s.get());
  }
  const std::uint64_t generation = generation_.load();
  std::uint64_t next = platform::tick_ms64();
  for (std::uint64_t i = 0; !stop_.load() && generation == generation_.load(); ++i) {
    const auto frame = stream_frame(i);
    if (!platform::send_all(
            s.get(), std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()),
            1000))
      break;
    ++frames_sent_;
    next += kFrameMs;
    const auto now = platform::tick_ms64();
    if (next > now) platform::sleep_ms(static_cast<int>(next - now));
  }
  std::lock_guard lock(m_);
  std::erase(live_, s.get());
}

// ---- authentication server ----

AuthServer::AuthServer() {
  http_ = listening_tcp(http_port_);
  udp_ = bound_udp(udp_port_);
  accept_thread_ = std::thread([this] { accept_loop(); });
  udp_thread_ = std::thread([this] { responder_loop(); });
}

AuthServer::~AuthServer() {
  stop_.store(true);
  accept_thread_.join();
  udp_thread_.join();
  std::lock_guard lock(threads_m_);
  for (auto& t : threads_) t.join();
}

void AuthServer::set_channel(int number, Channel channel) {
  std::lock_guard lock(m_);
  channels_[number] = std::move(channel);
}

std::vector<std::string> AuthServer::negotiations() const {
  std::lock_guard lock(m_);
  return negotiations_;
}

int AuthServer::wait_listen_port(int channel, std::size_t after, int timeout_ms) const {
  const std::string key = "channel=" + std::to_string(channel) + "&";
  std::unique_lock lock(m_);
  int port = -1;
  cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    for (std::size_t i = after; i < negotiations_.size(); ++i) {
      const std::string& t = negotiations_[i];
      const auto p = t.find("listen-port=");
      if (t.find(key) != std::string::npos && p != std::string::npos)
        port = std::stoi(t.substr(p + 12));
    }
    return port > 0;
  });
  return port;
}

void AuthServer::accept_loop() {
  while (!stop_.load()) {
    if (platform::wait_readable(http_.get(), 20) <= 0) continue;
    platform::Socket s(platform::accept_socket(http_.get()));
    if (!s) continue;
    std::lock_guard lock(threads_m_);
    threads_.emplace_back([this, s = std::move(s)]() mutable { serve(std::move(s)); });
  }
}

void AuthServer::serve(platform::Socket s) {
  std::string buf;
  while (!stop_.load()) {
    const int w = platform::wait_readable(s.get(), 20);
    if (w < 0) return;
    if (w == 0) continue;
    char chunk[1024];
    const int n = platform::recv_some(s.get(), chunk, sizeof chunk);
    if (n <= 0) return;
    buf.append(chunk, static_cast<std::size_t>(n));
    for (;;) {
      const auto end = buf.find("\r\n\r\n");
      if (end == std::string::npos) break;
      const std::string head = buf.substr(0, end);
      buf.erase(0, end + 4);
      const auto sp1 = head.find(' ');
      const auto sp2 = head.find(' ', sp1 + 1);
      const std::string target = head.substr(sp1 + 1, sp2 - sp1 - 1);
      const std::string body = answer(target);
      const std::string reply = (body.empty() ? std::string("HTTP/1.1 404 Not Found\r\n")
                                              : std::string("HTTP/1.1 200 OK\r\n")) +
                                "Content-Type: text/xml\r\nContent-Length: " +
                                std::to_string(body.empty() ? 2 : body.size()) + "\r\n\r\n" +
                                (body.empty() ? std::string("no") : body);
      if (!platform::send_all(s.get(), reply, 1000)) return;
    }
  }
}

std::string AuthServer::answer(const std::string& target) {
  if (target.rfind("/query?", 0) == 0) {
    return "<Message><MSGTYPE>PublicAddr</MSGTYPE><IP>127.0.0.1</IP><p2pSvrInf><IPv4>127.0.0.1"
           "</IPv4><Port>" +
           std::to_string(udp_port_) + "</Port></p2pSvrInf></Message>";
  }
  if (target.rfind("/realtime?", 0) != 0) return {};
  std::lock_guard lock(m_);
  negotiations_.push_back(target);
  cv_.notify_all();
  const auto c = target.find("channel=");
  const int number = c == std::string::npos ? 0 : std::atoi(target.c_str() + c + 8);
  const auto it = channels_.find(number);
  if (it == channels_.end()) return {};
  Channel ch = it->second;
  if (target.find("p2p-open=false") != std::string::npos && !ch.fallback_type.empty()) {
    ch.type = ch.fallback_type;
    ch.port = ch.fallback_port;
  }
  std::string xml = "<Message><MSGTYPE>ConnectInfo</MSGTYPE><ConnectInfo><ConnectType>" + ch.type +
                    "</ConnectType>";
  if (ch.type == "client-monitor-direct" || ch.type == "monitor-client-direct") {
    xml += "<WAN-IP>127.0.0.1</WAN-IP><LAN-IP>" + ch.address + "</LAN-IP><RtcpPort>" +
           std::to_string(ch.port) + "</RtcpPort>";
  } else if (ch.type == "client-monitor-p2p") {
    xml += "<IPv4>" + ch.address + "</IPv4><Port>" + std::to_string(ch.port) +
           "</Port><P2pPortDriftRange>0</P2pPortDriftRange>";
  } else {
    xml += "<TransitIP>" + ch.address + "</TransitIP><TransitPort>" + std::to_string(ch.port) +
           "</TransitPort>";
  }
  xml += "<RandomValue>" + ch.random + "</RandomValue><SessionId>" + ch.session +
         "</SessionId></ConnectInfo></Message>";
  return xml;
}

void AuthServer::responder_loop() {
  std::uint8_t buf[64];
  while (!stop_.load()) {
    if (platform::wait_readable(udp_.get(), 20) <= 0) continue;
    platform::SockAddr from;
    const int n = platform::recv_from(udp_.get(), std::as_writable_bytes(std::span(buf)), &from);
    if (n != 4 || get32(buf) != 0x107) continue;
    std::uint8_t out[12] = {};
    put32(out, 0x00010102);
    put32(out + 4, from.ip);
    out[8] = static_cast<std::uint8_t>(from.port >> 8);
    out[9] = static_cast<std::uint8_t>(from.port);
    platform::send_to(udp_.get(), std::as_bytes(std::span(out)), from);
  }
}

// ---- P2P device ----

P2pDevice::P2pDevice(Options options) : options_(options) {
  server_ = bound_udp(server_port_);
  control_ = bound_udp(control_port_);
  stream_ = bound_udp(stream_port_);
  hb_on_.store(options.answer_heart_beats);
  server_thread_ = std::thread([this] { server_loop(); });
  control_thread_ = std::thread([this] { control_loop(); });
  stream_thread_ = std::thread([this] { stream_loop(); });
}

P2pDevice::~P2pDevice() {
  stop_.store(true);
  server_thread_.join();
  control_thread_.join();
  stream_thread_.join();
}

void P2pDevice::server_loop() {
  std::uint8_t buf[64];
  while (!stop_.load()) {
    if (platform::wait_readable(server_.get(), 20) <= 0) continue;
    platform::SockAddr from;
    const int n = platform::recv_from(server_.get(), std::as_writable_bytes(std::span(buf)), &from);
    if (n < 4 || server_silent_.load()) continue;
    std::uint8_t out[12] = {};
    if (n == 40 && get32(buf) == 0x102) {
      put32(out, 0x00010102);
      put32(out + 4, kLoopback);
      out[8] = static_cast<std::uint8_t>(control_port_ >> 8);
      out[9] = static_cast<std::uint8_t>(control_port_);
    } else if (n == 4 && get32(buf) == 0x107) {
      put32(out, 0x00010102);
      put32(out + 4, from.ip);
      out[8] = static_cast<std::uint8_t>(from.port >> 8);
      out[9] = static_cast<std::uint8_t>(from.port);
    } else {
      continue;
    }
    platform::send_to(server_.get(), std::as_bytes(std::span(out)), from);
  }
}

void P2pDevice::control_loop() {
  std::vector<std::uint8_t> buf(4096);
  while (!stop_.load()) {
    if (platform::wait_readable(control_.get(), 20) <= 0) continue;
    platform::SockAddr from;
    const int n =
        platform::recv_from(control_.get(), std::as_writable_bytes(std::span(buf)), &from);
    if (n == 8 && get32(buf.data()) == 0x105) {
      if (!hb_on_.load()) continue;
      std::uint8_t back[8];
      put32(back, 0x106);
      std::memcpy(back + 4, buf.data() + 4, 4);
      platform::send_to(control_.get(), std::as_bytes(std::span(back)), from);
      continue;
    }
    const std::string text(reinterpret_cast<const char*>(buf.data()),
                           static_cast<std::size_t>(std::max(n, 0)));
    if (text.rfind("PLAY ", 0) != 0) continue;
    ++plays_;
    if (!options_.answer_play) continue;
    const std::string answer =
        "RTSP/1.0 200 OK\r\nCSeq:2\r\nTransport: ip=127.0.0.1; port=" +
        std::to_string(stream_port_) +
        "; protocol=udp\r\nRTP-Info: magic=" + std::to_string(magic_.load()) +
        "; session-id=" + std::to_string(stream_session_.load()) + "\r\n\r\n";
    platform::send_to(control_.get(), answer.data(), static_cast<int>(answer.size()), from);
  }
}

void P2pDevice::stream_loop() {
  std::vector<std::uint8_t> buf(2048);
  bool streaming = false;
  platform::SockAddr client;
  std::uint64_t next = 0;
  std::uint64_t i = 0;
  while (!stop_.load()) {
    if (platform::wait_readable(stream_.get(), streaming ? 1 : 20) > 0) {
      platform::SockAddr from;
      const int n =
          platform::recv_from(stream_.get(), std::as_writable_bytes(std::span(buf)), &from);
      if (n == 8 && get32(buf.data()) == 0x105 && get32(buf.data() + 4) == stream_session_.load()) {
        std::uint8_t back[8];
        put32(back, 0x106);
        put32(back + 4, stream_session_.load());
        platform::send_to(stream_.get(), std::as_bytes(std::span(back)), from);
        if (!streaming) {
          streaming = true;
          client = from;
          next = platform::tick_ms64();
        }
      }
    }
    if (!streaming || platform::tick_ms64() < next) continue;
    const auto frame = stream_frame(i);
    const auto count = static_cast<std::uint16_t>((frame.size() + 1023) / 1024);
    for (std::uint16_t k = 0; k < count; ++k) {
      std::vector<std::uint8_t> d(12);
      put32(d.data(), magic_.load());
      put32(d.data() + 4, static_cast<std::uint32_t>(i + 1));
      d[8] = static_cast<std::uint8_t>(count >> 8);
      d[9] = static_cast<std::uint8_t>(count);
      d[10] = static_cast<std::uint8_t>(k >> 8);
      d[11] = static_cast<std::uint8_t>(k);
      const std::size_t from = std::size_t{k} * 1024;
      const std::size_t to = std::min(frame.size(), from + 1024);
      d.insert(d.end(), frame.begin() + static_cast<std::ptrdiff_t>(from),
               frame.begin() + static_cast<std::ptrdiff_t>(to));
      platform::send_to(stream_.get(), std::as_bytes(std::span(d)), client);
    }
    ++frames_sent_;
    ++i;
    next += kFrameMs;
  }
}

}  // namespace velmo::test
