#include "device_session.h"

#include <algorithm>
#include <random>

namespace orvsim {
namespace {

constexpr int kPollMs = 50;
constexpr std::size_t kMaxControlBuffer = 64 * 1024;
constexpr int kSendWaitMs = 5000;
constexpr int kPunchIntervalMs = 300;

std::uint64_t now_ms() {
  return platform::tick_ms64();
}

std::uint32_t random_u32() {
  static std::mutex m;
  static std::mt19937 gen{std::random_device{}()};
  std::lock_guard lock(m);
  return gen();
}

// Magic and stream session are decimal text that clients parse into a signed
// 32-bit word: keep them positive.
std::uint32_t random_token() {
  return 0x10000000u | (random_u32() & 0x2FFFFFFFu);
}

std::string_view as_text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool send_datagram(SOCKET s, std::span<const std::uint8_t> data, const platform::SockAddr& to) {
  return platform::send_to(s, reinterpret_cast<const char*>(data.data()),
                           static_cast<int>(data.size()), to) == static_cast<int>(data.size());
}

// A frame of the loop, renumbered, with the faults of this frame applied.
std::vector<std::uint8_t> prepare_frame(const teststream::Frame& source, std::uint32_t number,
                                        bool clear_signature) {
  std::vector<std::uint8_t> bytes = source.bytes;
  put_u32_host(bytes.data() + 4, number);
  if (clear_signature) {
    put_u32_host(bytes.data() + 8, 0);
    // Padded to whole headers, so a reader that tries every next 24 bytes as a
    // header meets the following frame's header exactly.
    const std::size_t data = bytes.size() - kFrameHeaderBytes;
    const std::size_t padded =
        (data + kFrameHeaderBytes - 1) / kFrameHeaderBytes * kFrameHeaderBytes;
    const std::size_t extra = padded - data;
    auto fields = read_frame_header(bytes);
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(kFrameHeaderBytes + fields->first),
                 extra, 0);
    put_u32_host(bytes.data() + 16, fields->first + static_cast<std::uint32_t>(extra));
  }
  return bytes;
}

// A frame with a valid header whose data passes the 128 KiB limit; its data
// length is whole headers so the reader can find the next frame after it.
std::vector<std::uint8_t> oversized_frame(std::uint32_t number, int fps) {
  const std::size_t data = (kMaxFrameBytes / kFrameHeaderBytes + 2) * kFrameHeaderBytes;
  std::vector<std::uint8_t> bytes(kFrameHeaderBytes + data, 0);
  put_u32_host(bytes.data() + 4, number);
  put_u32_host(bytes.data() + 8, kFrameSignature);
  put_u32_host(bytes.data() + 12, static_cast<std::uint32_t>(fps) << 2);
  put_u32_host(bytes.data() + 16, static_cast<std::uint32_t>(data));
  put_u32_host(bytes.data() + 20, 0);
  return bytes;
}

// Paces frames from the fps: the due time advances by whole frame periods,
// and a sender more than a second late starts afresh instead of bursting.
class Pacer {
 public:
  explicit Pacer(int fps) : period_us_(1000000 / std::max(1, fps)), start_(now_ms()) {}
  int wait_ms() const {
    const std::uint64_t due = start_ + sent_ * period_us_ / 1000;
    const std::uint64_t now = now_ms();
    return due > now ? static_cast<int>(std::min<std::uint64_t>(due - now, kPollMs)) : 0;
  }
  bool due() const { return wait_ms() == 0; }
  void next() {
    ++sent_;
    const std::uint64_t due = start_ + sent_ * period_us_ / 1000;
    if (now_ms() > due + 1000) {
      start_ = now_ms();
      sent_ = 0;
    }
  }

 private:
  std::uint64_t period_us_;
  std::uint64_t start_;
  std::uint64_t sent_ = 0;
};

class ListenOpener : public StreamOpener {
 public:
  std::optional<Offer> prepare(const TransportSpec&, SOCKET control, const SessionUrl&,
                               platform::StopSignal&) override {
    auto local = platform::local_address(control);
    if (!local) return std::nullopt;
    listener_.reset(platform::tcp_socket());
    if (!listener_ || !platform::bind_socket(listener_.get(), {local->ip, 0}) ||
        !platform::listen_socket(listener_.get(), 1))
      return std::nullopt;
    auto bound = platform::local_address(listener_.get());
    if (!bound) return std::nullopt;
    return Offer{bound->ip_text(), bound->port};
  }
  platform::Socket obtain(platform::StopSignal& stop, int timeout_ms) override {
    const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(std::max(0, timeout_ms));
    while (listener_ && !stop.stopped() && now_ms() < deadline) {
      int r = platform::wait_readable(listener_.get(), kPollMs);
      if (r < 0) break;
      if (r == 0) continue;
      platform::Socket s(platform::accept_socket(listener_.get()));
      if (s) {
        listener_.reset();  // one stream per PLAY
        return s;
      }
    }
    listener_.reset();
    return {};
  }
  std::string describe() const override { return "stream listener of the device"; }

 private:
  platform::Socket listener_;
};

class DialOpener : public StreamOpener {
 public:
  explicit DialOpener(platform::SockAddr fallback) : target_(fallback) {}
  std::optional<Offer> prepare(const TransportSpec& client, SOCKET control, const SessionUrl&,
                               platform::StopSignal&) override {
    if (auto ip = platform::parse_dotted(client.ip); ip && *ip != 0 && client.port > 0)
      target_ = {*ip, static_cast<std::uint16_t>(client.port)};
    if (target_.port == 0) return std::nullopt;
    auto local = platform::local_address(control);
    if (!local) return std::nullopt;
    // The client connects nowhere for this stream; the answer names the
    // device's end of the control connection.
    return Offer{local->ip_text(), local->port};
  }
  platform::Socket obtain(platform::StopSignal& stop, int timeout_ms) override {
    return dial(target_, stop, timeout_ms);
  }
  std::string describe() const override { return "dial to " + target_.text(); }

 private:
  platform::SockAddr target_;
};

class RelayOpener : public StreamOpener {
 public:
  explicit RelayOpener(platform::SockAddr relay) : relay_(relay) {}
  std::optional<Offer> prepare(const TransportSpec&, SOCKET, const SessionUrl& url,
                               platform::StopSignal& stop) override {
    socket_ = dial(relay_, stop, 3000);
    if (!socket_) return std::nullopt;
    const std::string line =
        "DEVICE stream " + std::to_string(url.session) + " " + url.random + "\r\n";
    if (!platform::send_all(socket_.get(), line, 3000)) return std::nullopt;
    auto answer = read_line(socket_.get(), stop, 3000);
    int port = 0;
    if (!answer || std::sscanf(answer->c_str(), "PORT %d", &port) != 1 || port <= 0 || port > 65535)
      return std::nullopt;
    return Offer{relay_.ip_text(), port};
  }
  platform::Socket obtain(platform::StopSignal& stop, int timeout_ms) override {
    if (!socket_) return {};
    auto line = read_line(socket_.get(), stop, timeout_ms);
    if (!line || *line != "PAIRED") return {};
    return std::move(socket_);
  }
  std::string describe() const override { return "relay " + relay_.text(); }

 private:
  platform::SockAddr relay_;
  platform::Socket socket_;
};

}  // namespace

platform::Socket dial(const platform::SockAddr& to, platform::StopSignal& stop, int timeout_ms) {
  platform::Socket s(platform::tcp_socket());
  if (!s || !platform::set_nonblocking(s.get(), true)) return {};
  switch (platform::connect_socket(s.get(), to)) {
    case platform::ConnectResult::connected:
      break;
    case platform::ConnectResult::failed:
      return {};
    case platform::ConnectResult::in_progress: {
      const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(std::max(0, timeout_ms));
      for (;;) {
        if (stop.stopped() || now_ms() >= deadline) return {};
        int r = platform::wait_writable(s.get(), kPollMs);
        if (r < 0) return {};
        if (r == 1) break;
      }
      if (!platform::connect_succeeded(s.get())) return {};
      break;
    }
  }
  platform::set_nonblocking(s.get(), false);
  platform::set_nodelay(s.get(), true);
  return s;
}

std::optional<std::string> read_line(SOCKET s, platform::StopSignal& stop, int timeout_ms) {
  std::string line;
  const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(std::max(0, timeout_ms));
  while (line.size() < 256) {
    if (stop.stopped() || now_ms() >= deadline) return std::nullopt;
    int r = platform::wait_readable(s, kPollMs);
    if (r < 0) return std::nullopt;
    if (r == 0) continue;
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

std::unique_ptr<StreamOpener> listen_opener() {
  return std::make_unique<ListenOpener>();
}
std::unique_ptr<StreamOpener> dial_opener(platform::SockAddr fallback) {
  return std::make_unique<DialOpener>(fallback);
}
std::unique_ptr<StreamOpener> relay_opener(platform::SockAddr relay) {
  return std::make_unique<RelayOpener>(relay);
}

// ---------------------------------------------------------------------------
// TCP

TcpDeviceSession::TcpDeviceSession(SessionServices services, ChannelKey key, ConnectType type,
                                   Authorize authorize, std::unique_ptr<StreamOpener> opener)
    : services_(services),
      key_(std::move(key)),
      type_(type),
      authorize_(std::move(authorize)),
      opener_(std::move(opener)) {}

TcpDeviceSession::~TcpDeviceSession() {
  stop();
}

bool TcpDeviceSession::start(platform::Socket control) {
  auto socket = std::make_shared<platform::Socket>(std::move(control));
  return start([socket](platform::StopSignal&) { return std::move(*socket); });
}

bool TcpDeviceSession::start(Connector connect) {
  if (!thread_.create([this, connect = std::move(connect)] { run(connect); })) {
    finished_ = true;
    return false;
  }
  thread_.resume();
  return true;
}

void TcpDeviceSession::stop() {
  stop_.stop();
  media_stop_.stop();
  {
    std::lock_guard lock(socket_m_);
    platform::shutdown_socket(control_.get());
    platform::shutdown_socket(stream_);
  }
  thread_.join();
  media_thread_.join();
}

bool TcpDeviceSession::send_control(std::string_view bytes) {
  std::lock_guard lock(send_m_);
  return platform::send_all(control_.get(), bytes, kSendWaitMs);
}

bool TcpDeviceSession::answer(const RtspRequest& request, const platform::SockAddr& from,
                              int status, const std::string& text) {
  services_.log->add_request(
      {key_, std::string(connect_type_text(type_)), false, from, request, status});
  return send_control(text);
}

void TcpDeviceSession::run(Connector connect) {
  platform::Socket control = connect(stop_);
  if (!control) {
    services_.log->note(key_, "control connection not made");
    finished_ = true;
    return;
  }
  {
    std::lock_guard lock(socket_m_);
    control_ = std::move(control);
  }
  if (stop_.stopped()) {
    finished_ = true;
    return;
  }
  platform::set_nodelay(control_.get(), true);
  services_.log->update(key_, [](ChannelStats& s) { ++s.sessions; });
  const platform::SockAddr from =
      platform::peer_address(control_.get()).value_or(platform::SockAddr{});

  std::string buffer;
  std::uint64_t last_heard = now_ms();
  std::uint64_t last_beat = now_ms();
  std::vector<char> chunk(4096);
  while (!stop_.stopped()) {
    if (services_.faults->take(key_, MediaFault::close_control)) {
      services_.log->update(key_, [](ChannelStats& s) { s.faults.emplace_back("close control"); });
      break;
    }
    const bool quiet = services_.faults->sending_stopped(key_);
    if (streaming_ && services_.heartbeat_ms > 0 && !quiet &&
        now_ms() - last_beat >= static_cast<std::uint64_t>(services_.heartbeat_ms)) {
      last_beat = now_ms();
      auto beat = heart_beat_bytes(false, session_);
      if (!send_control(as_text(beat))) break;
      services_.log->update(key_, [](ChannelStats& s) { ++s.heart_beats_sent; });
    }
    if (!streaming_ && now_ms() - last_heard > static_cast<std::uint64_t>(services_.idle_ms)) {
      services_.log->note(key_, "no request on the control connection; closing it");
      break;
    }
    int r = platform::wait_readable(control_.get(), kPollMs);
    if (r < 0) break;
    if (r == 0) continue;
    int n = platform::recv_some(control_.get(), chunk.data(), static_cast<int>(chunk.size()));
    if (n <= 0) break;
    last_heard = now_ms();
    buffer.append(chunk.data(), static_cast<std::size_t>(n));
    bool keep = true;
    while (keep && !buffer.empty()) {
      // An 8-byte heart beat may sit between requests.
      if (buffer[0] == '\0') {
        if (buffer.size() < 8) break;
        auto beat = read_heart_beat(
            std::span(reinterpret_cast<const std::uint8_t*>(buffer.data()), std::size_t{8}));
        if (!beat) {
          keep = false;
          break;
        }
        buffer.erase(0, 8);
        if (!beat->back && !quiet) {
          auto back = heart_beat_bytes(true, beat->session);
          if (!send_control(as_text(back))) keep = false;
          services_.log->update(key_, [](ChannelStats& s) { ++s.heart_beats_answered; });
        }
        continue;
      }
      RtspParseResult p = parse_rtsp_request(buffer);
      if (p.status == RtspParse::incomplete) {
        if (buffer.size() > kMaxControlBuffer) keep = false;
        break;
      }
      if (p.status == RtspParse::bad) {
        services_.log->note(key_, "bad request: " + p.error);
        send_control(rtsp_status_answer(-1, 400));
        keep = false;
        break;
      }
      buffer.erase(0, p.consumed);
      keep = handle(p.request, from);
    }
    if (!keep) break;
  }
  media_stop_.stop();
  {
    std::lock_guard lock(socket_m_);
    platform::shutdown_socket(stream_);
  }
  media_thread_.join();
  {
    std::lock_guard lock(socket_m_);
    control_.reset();
  }
  finished_ = true;
}

bool TcpDeviceSession::handle(const RtspRequest& request, const platform::SockAddr& from) {
  const int cseq = request.cseq();
  if (request.method == "PLAY") {
    auto url = parse_session_url(request.url);
    std::optional<StreamFormat> format = url ? authorize_(*url) : std::nullopt;
    const std::string* session = request.field("Session");
    if (!format || (session && url && *session != std::to_string(url->session) &&
                    *session != std::to_string(static_cast<std::int32_t>(url->session)))) {
      services_.log->note(key_, "PLAY for an unknown session: " + request.url);
      return answer(request, from, 454, rtsp_status_answer(cseq, 454));
    }
    if (streaming_) return answer(request, from, 455, rtsp_status_answer(cseq, 455));
    const std::string* transport_text = request.field("Transport");
    auto transport = transport_text ? parse_transport(*transport_text) : std::nullopt;
    if (!transport || transport->protocol != "tcp")
      return answer(request, from, 461, rtsp_status_answer(cseq, 461));
    auto offer = opener_->prepare(*transport, control_.get(), *url, stop_);
    if (!offer) {
      services_.log->note(key_, "no stream to offer (" + opener_->describe() + ")");
      return answer(request, from, 503, rtsp_status_answer(cseq, 503));
    }
    PlayAnswer a;
    a.cseq = cseq;
    a.session = url->session;
    a.ip = offer->ip;
    a.port = offer->port;
    a.magic = random_token();
    a.stream_session = random_token();
    session_ = url->session;
    streaming_ = true;
    if (!answer(request, from, 200, rtsp_play_answer(a))) return false;
    services_.log->update(key_, [](ChannelStats& s) { ++s.plays; });
    const StreamFormat f = *format;
    const std::uint32_t magic = a.magic;
    if (!media_thread_.create([this, f, magic] { media(f, magic); })) return false;
    media_thread_.resume();
    return true;
  }
  if (request.method == "TEARDOWN") {
    answer(request, from, 200, rtsp_status_answer(cseq, 200, session_));
    services_.log->update(key_, [](ChannelStats& s) { ++s.teardowns; });
    return false;
  }
  if (request.method == "SET_PARAMETER") {
    PtzLogEntry e{key_, request.url, request.body, parse_ptz_body(request.body)};
    services_.log->add_ptz(std::move(e));
    services_.log->update(key_, [](ChannelStats& s) { ++s.set_parameters; });
    return answer(request, from, 200, rtsp_status_answer(cseq, 200));
  }
  if (request.method == "OPTIONS") {
    return answer(request, from, 200,
                  "RTSP/1.0 200 OK\r\nCSeq: " + std::to_string(cseq) +
                      "\r\nPublic: PLAY, TEARDOWN, SET_PARAMETER\r\n\r\n");
  }
  return answer(request, from, 405, rtsp_status_answer(cseq, 405));
}

void TcpDeviceSession::media(StreamFormat format, std::uint32_t magic) {
  (void)magic;  // TCP records carry no magic
  platform::Socket stream = opener_->obtain(media_stop_, services_.stream_wait_ms);
  if (!stream) {
    services_.log->note(key_, "stream connection not made (" + opener_->describe() + ")");
    streaming_ = false;
    return;
  }
  {
    std::lock_guard lock(socket_m_);
    stream_ = stream.get();
    if (media_stop_.stopped()) platform::shutdown_socket(stream_);
  }
  platform::set_nonblocking(stream.get(), true);
  platform::set_send_buffer(stream.get(), 256 * 1024);
  auto loop = FrameLoop::get(format);
  if (!loop) services_.log->note(key_, "no frames: the encoder is not available");
  services_.log->update(key_, [](ChannelStats& s) { ++s.streams; });

  Pacer pacer(loop ? loop->format().fps : 1);
  std::uint32_t number = 1;
  std::size_t index = 0;
  std::vector<char> sink(4096);
  while (loop && !media_stop_.stopped()) {
    if (services_.faults->take(key_, MediaFault::close_stream)) {
      services_.log->update(key_, [](ChannelStats& s) { s.faults.emplace_back("close stream"); });
      break;
    }
    int r = platform::wait_readable(stream.get(), pacer.wait_ms());
    if (r < 0) break;
    if (r == 1) {
      // The client sends nothing on the stream; a read of 0 is its close.
      int n = platform::recv_some(stream.get(), sink.data(), static_cast<int>(sink.size()));
      if (n == 0 || (n < 0 && !platform::would_block())) break;
    }
    if (!pacer.due()) continue;
    pacer.next();
    if (services_.faults->sending_stopped(key_)) continue;
    std::vector<std::vector<std::uint8_t>> out;
    if (services_.faults->take(key_, MediaFault::oversized_frame)) {
      out.push_back(oversized_frame(number++, loop->format().fps));
      services_.log->update(key_,
                            [](ChannelStats& s) { s.faults.emplace_back("frame over the limit"); });
    }
    const bool clear = services_.faults->take(key_, MediaFault::no_signature);
    if (clear)
      services_.log->update(
          key_, [](ChannelStats& s) { s.faults.emplace_back("frame without signature"); });
    out.push_back(prepare_frame(loop->frames()[index], number++, clear));
    index = (index + 1) % loop->size();
    bool ok = true;
    for (const auto& f : out) {
      if (!platform::send_all(stream.get(), as_text(f), kSendWaitMs)) {
        ok = false;
        break;
      }
      services_.log->update(key_, [&](ChannelStats& s) {
        ++s.frames;
        s.bytes += f.size();
      });
    }
    if (!ok) break;
  }
  {
    std::lock_guard lock(socket_m_);
    stream_ = INVALID_SOCKET;
  }
  streaming_ = false;
}

// ---------------------------------------------------------------------------
// UDP

UdpDeviceSession::UdpDeviceSession(SessionServices services, ChannelKey key, Authorize authorize,
                                   Options options)
    : services_(services),
      key_(std::move(key)),
      authorize_(std::move(authorize)),
      options_(std::move(options)) {}

UdpDeviceSession::~UdpDeviceSession() {
  stop();
}

bool UdpDeviceSession::start(platform::Socket control, platform::SockAddr peer) {
  control_ = std::move(control);
  {
    std::lock_guard lock(m_);
    peer_ = peer;
  }
  if (!control_ || !thread_.create([this] { run(std::nullopt); })) {
    finished_ = true;
    return false;
  }
  thread_.resume();
  return true;
}

bool UdpDeviceSession::start_punching(platform::Socket control, platform::SockAddr rendezvous,
                                      std::uint32_t session, std::string random) {
  control_ = std::move(control);
  Punch p{rendezvous, session, std::move(random)};
  if (!control_ || !thread_.create([this, p] { run(p); })) {
    finished_ = true;
    return false;
  }
  thread_.resume();
  return true;
}

void UdpDeviceSession::stop() {
  stop_.stop();
  {
    std::lock_guard lock(m_);
    platform::shutdown_socket(control_.get());
    platform::shutdown_socket(stream_.get());
  }
  thread_.join();
  media_thread_.join();
}

std::optional<platform::SockAddr> UdpDeviceSession::peer() const {
  std::lock_guard lock(m_);
  return peer_;
}

platform::SockAddr UdpDeviceSession::control_address() const {
  return platform::local_address(control_.get()).value_or(platform::SockAddr{});
}

bool UdpDeviceSession::punch(const Punch& p) {
  auto reg = register_bytes(p.session, p.random);
  if (!reg) {
    services_.log->note(key_, "random value too long to register");
    return false;
  }
  std::vector<std::uint8_t> buf(2048);
  const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(services_.idle_ms);
  std::uint64_t last_send = 0;
  std::optional<platform::SockAddr> peer;
  bool heard = false;
  while (!stop_.stopped() && now_ms() < deadline && !heard) {
    if (now_ms() - last_send >= kPunchIntervalMs) {
      last_send = now_ms();
      // Registration until the server names the client, then heart beats
      // towards the client; the server keeps hearing from us meanwhile too.
      send_datagram(control_.get(), *reg, p.rendezvous);
      if (peer) send_datagram(control_.get(), heart_beat_bytes(false, p.session), *peer);
    }
    int r = platform::wait_readable(control_.get(), kPollMs);
    if (r < 0) return false;
    if (r == 0) continue;
    platform::SockAddr from;
    int n = platform::recv_from(control_.get(), reinterpret_cast<char*>(buf.data()),
                                static_cast<int>(buf.size()), &from);
    if (n <= 0) continue;
    std::span<const std::uint8_t> d(buf.data(), static_cast<std::size_t>(n));
    if (auto addr = read_peer_addr(d)) {
      peer = platform::SockAddr{addr->ip, addr->port};
      continue;
    }
    if (auto beat = read_heart_beat(d); beat && beat->session == p.session) {
      if (!beat->back) send_datagram(control_.get(), heart_beat_bytes(true, beat->session), from);
      peer = from;
      heard = true;
    }
  }
  if (!heard) {
    services_.log->note(key_, "punching found no client");
    return false;
  }
  std::lock_guard lock(m_);
  peer_ = peer;
  session_ = p.session;
  return true;
}

void UdpDeviceSession::run(std::optional<Punch> p) {
  if (p && !punch(*p)) {
    finished_ = true;
    return;
  }
  services_.log->update(key_, [](ChannelStats& s) { ++s.sessions; });
  {
    std::lock_guard lock(m_);
    last_heard_ = now_ms();
    last_beat_ = now_ms();
  }
  std::vector<std::uint8_t> buf(16384);
  while (!stop_.stopped()) {
    if (services_.faults->take(key_, MediaFault::close_control)) {
      services_.log->update(key_, [](ChannelStats& s) { s.faults.emplace_back("close control"); });
      break;
    }
    std::optional<platform::SockAddr> peer;
    bool beat_due = false;
    std::uint32_t session = 0;
    {
      std::lock_guard lock(m_);
      session = session_;
      if (now_ms() - last_heard_ > static_cast<std::uint64_t>(services_.idle_ms)) {
        services_.log->note(key_, "client silent; ending the punched session");
        break;
      }
      peer = peer_;
      if (!play_answer_.empty() && services_.heartbeat_ms > 0 &&
          now_ms() - last_beat_ >= static_cast<std::uint64_t>(services_.heartbeat_ms)) {
        last_beat_ = now_ms();
        beat_due = true;
      }
    }
    if (beat_due && peer && !services_.faults->sending_stopped(key_)) {
      send_datagram(control_.get(), heart_beat_bytes(false, session), *peer);
      services_.log->update(key_, [](ChannelStats& s) { ++s.heart_beats_sent; });
    }
    int r = platform::wait_readable(control_.get(), kPollMs);
    if (r < 0) break;
    if (r == 0) continue;
    platform::SockAddr from;
    int n = platform::recv_from(control_.get(), reinterpret_cast<char*>(buf.data()),
                                static_cast<int>(buf.size()), &from);
    if (n <= 0) continue;
    serve_datagram(std::span<const std::uint8_t>(buf.data(), static_cast<std::size_t>(n)), from);
  }
  stop_.stop();
  {
    std::lock_guard lock(m_);
    platform::shutdown_socket(stream_.get());
  }
  media_thread_.join();
  finished_ = true;
}

void UdpDeviceSession::serve_datagram(std::span<const std::uint8_t> data,
                                      const platform::SockAddr& from) {
  const bool quiet = services_.faults->sending_stopped(key_);
  if (auto beat = read_heart_beat(data)) {
    if (quiet) return;
    {
      std::lock_guard lock(m_);
      last_heard_ = now_ms();
      peer_ = from;
    }
    if (!beat->back) {
      send_datagram(control_.get(), heart_beat_bytes(true, beat->session), from);
      services_.log->update(key_, [](ChannelStats& s) { ++s.heart_beats_answered; });
    }
    return;
  }
  if (read_peer_addr(data)) return;  // the rendezvous repeating itself
  const std::string_view text = as_text(data);
  if (text.find("RTSP/1.0") == std::string_view::npos) return;
  {
    std::lock_guard lock(m_);
    last_heard_ = now_ms();
  }
  RtspParseResult p = parse_rtsp_request(text);
  if (p.status != RtspParse::complete) {
    services_.log->note(key_, "bad request datagram: " + p.error);
    std::string a = rtsp_status_answer(-1, 400);
    platform::send_to(control_.get(), a.data(), static_cast<int>(a.size()), from);
    return;
  }
  const RtspRequest& q = p.request;
  auto reply = [&](int status, const std::string& a) {
    services_.log->add_request({key_, "client-monitor-p2p", true, from, q, status});
    platform::send_to(control_.get(), a.data(), static_cast<int>(a.size()), from);
  };
  const int cseq = q.cseq();
  if (q.method == "PLAY") {
    std::string previous;
    {
      std::lock_guard lock(m_);
      previous = play_answer_;
    }
    // The client resends its PLAY until an answer arrives: the same answer again.
    if (!previous.empty()) {
      reply(200, previous);
      return;
    }
    auto url = parse_session_url(q.url);
    std::optional<StreamFormat> format = url ? authorize_(*url) : std::nullopt;
    if (!format) {
      services_.log->note(key_, "PLAY for an unknown session: " + q.url);
      reply(454, rtsp_status_answer(cseq, 454));
      return;
    }
    const std::string* transport_text = q.field("Transport");
    auto transport = transport_text ? parse_transport(*transport_text) : std::nullopt;
    if (!transport || transport->protocol != "udp") {
      reply(461, rtsp_status_answer(cseq, 461));
      return;
    }
    platform::Socket stream(platform::udp_socket());
    if (!stream || !platform::bind_socket(stream.get(), options_.stream_bind)) {
      reply(503, rtsp_status_answer(cseq, 503));
      return;
    }
    platform::set_send_buffer(stream.get(), 512 * 1024);
    auto bound = platform::local_address(stream.get());
    PlayAnswer a;
    a.cseq = cseq;
    a.ip = options_.announce_ip.empty() ? bound->ip_text() : options_.announce_ip;
    a.port = bound->port;
    a.udp = true;
    a.magic = random_token();
    a.stream_session = random_token();
    // Slices go to the client's announced stream address until its heart
    // beats show where they really come from.
    platform::SockAddr client = from;
    if (auto ip = platform::parse_dotted(transport->ip); ip && *ip != 0 && transport->port > 0)
      client = {*ip, static_cast<std::uint16_t>(transport->port)};
    const std::string text_answer = rtsp_play_answer(a);
    {
      std::lock_guard lock(m_);
      play_answer_ = text_answer;
      session_ = url->session;
      stream_ = std::move(stream);
    }
    reply(200, text_answer);
    services_.log->update(key_, [](ChannelStats& s) { ++s.plays; });
    const StreamFormat f = *format;
    if (media_thread_.create([this, f, a, client] { media(f, a.magic, a.stream_session, client); }))
      media_thread_.resume();
    return;
  }
  if (q.method == "TEARDOWN") {
    reply(200, rtsp_status_answer(cseq, 200));
    services_.log->update(key_, [](ChannelStats& s) { ++s.teardowns; });
    stop_.stop();
    return;
  }
  if (q.method == "SET_PARAMETER") {
    services_.log->add_ptz({key_, q.url, q.body, parse_ptz_body(q.body)});
    services_.log->update(key_, [](ChannelStats& s) { ++s.set_parameters; });
    reply(200, rtsp_status_answer(cseq, 200));
    return;
  }
  reply(405, rtsp_status_answer(cseq, 405));
}

bool UdpDeviceSession::send_slices(std::span<const std::uint8_t> frame, std::uint32_t number,
                                   const platform::SockAddr& to, SOCKET s, std::uint32_t magic) {
  auto slices = slice_frame(frame, magic, number);
  if (slices.empty()) return false;
  if (slices.size() >= 2 && services_.faults->take(key_, MediaFault::slices_out_of_order)) {
    std::reverse(slices.begin(), slices.end());
    services_.log->update(key_,
                          [](ChannelStats& st) { st.faults.emplace_back("slices out of order"); });
  }
  if (slices.size() >= 2 && services_.faults->take(key_, MediaFault::slice_missing)) {
    slices.pop_back();
    services_.log->update(key_, [](ChannelStats& st) { st.faults.emplace_back("slice missing"); });
  }
  if (services_.faults->take(key_, MediaFault::foreign_magic)) {
    // Another stream's slice of the same frame number, in the middle of this frame.
    auto foreign = slice_frame(frame.subspan(0, std::min<std::size_t>(frame.size(), 64)),
                               magic ^ 0x5A5A5A5Au, number);
    slices.insert(slices.begin() + static_cast<std::ptrdiff_t>(slices.size() / 2),
                  std::move(foreign.front()));
    services_.log->update(
        key_, [](ChannelStats& st) { st.faults.emplace_back("slice of a foreign magic"); });
  }
  for (const auto& d : slices)
    if (!send_datagram(s, d, to) && !platform::would_block()) return false;
  return true;
}

void UdpDeviceSession::media(StreamFormat format, std::uint32_t magic, std::uint32_t stream_session,
                             platform::SockAddr client) {
  auto loop = FrameLoop::get(format);
  if (!loop) services_.log->note(key_, "no frames: the encoder is not available");
  SOCKET s;
  {
    std::lock_guard lock(m_);
    s = stream_.get();
  }
  std::vector<std::uint8_t> buf(2048);
  bool heard = false;
  std::uint64_t last_punch = 0;
  std::uint64_t last_beat = now_ms();
  std::uint64_t last_heard = now_ms();
  Pacer pacer(loop ? loop->format().fps : 1);
  std::uint32_t number = 1;
  std::size_t index = 0;
  bool counted = false;
  while (!stop_.stopped()) {
    if (services_.faults->take(key_, MediaFault::close_stream)) {
      services_.log->update(key_, [](ChannelStats& st) { st.faults.emplace_back("close stream"); });
      break;
    }
    const bool quiet = services_.faults->sending_stopped(key_);
    if (now_ms() - last_heard > static_cast<std::uint64_t>(services_.idle_ms)) break;
    if (!heard && !quiet && now_ms() - last_punch >= kPunchIntervalMs) {
      // Opens the device's side of the stream path towards the client.
      last_punch = now_ms();
      send_datagram(s, heart_beat_bytes(false, stream_session), client);
    }
    if (heard && !quiet && services_.heartbeat_ms > 0 &&
        now_ms() - last_beat >= static_cast<std::uint64_t>(services_.heartbeat_ms)) {
      last_beat = now_ms();
      send_datagram(s, heart_beat_bytes(false, stream_session), client);
      services_.log->update(key_, [](ChannelStats& st) { ++st.heart_beats_sent; });
    }
    int r = platform::wait_readable(s, heard ? pacer.wait_ms() : kPollMs);
    if (r < 0) break;
    if (r == 1) {
      platform::SockAddr from;
      int n = platform::recv_from(s, reinterpret_cast<char*>(buf.data()),
                                  static_cast<int>(buf.size()), &from);
      if (n > 0 && !quiet) {
        auto beat = read_heart_beat(std::span<const std::uint8_t>(buf.data(), std::size_t(n)));
        if (beat && beat->session == stream_session) {
          last_heard = now_ms();
          client = from;
          if (!heard) pacer = Pacer(loop ? loop->format().fps : 1);
          heard = true;
          if (!beat->back) {
            send_datagram(s, heart_beat_bytes(true, stream_session), from);
            services_.log->update(key_, [](ChannelStats& st) { ++st.heart_beats_answered; });
          }
        }
      }
    }
    if (!heard || !loop || !pacer.due()) continue;
    pacer.next();
    if (quiet) continue;
    if (!counted) {
      counted = true;
      services_.log->update(key_, [](ChannelStats& st) { ++st.streams; });
    }
    std::vector<std::vector<std::uint8_t>> out;
    if (services_.faults->take(key_, MediaFault::oversized_frame)) {
      out.push_back(oversized_frame(number++, loop->format().fps));
      services_.log->update(
          key_, [](ChannelStats& st) { st.faults.emplace_back("frame over the limit"); });
    }
    const bool clear = services_.faults->take(key_, MediaFault::no_signature);
    if (clear)
      services_.log->update(
          key_, [](ChannelStats& st) { st.faults.emplace_back("frame without signature"); });
    out.push_back(prepare_frame(loop->frames()[index], number++, clear));
    index = (index + 1) % loop->size();
    for (const auto& f : out) {
      const std::uint32_t n = read_frame_header(f)->number;
      if (!send_slices(f, n, client, s, magic)) break;
      services_.log->update(key_, [&](ChannelStats& st) {
        ++st.frames;
        st.bytes += f.size();
      });
    }
  }
}

}  // namespace orvsim
