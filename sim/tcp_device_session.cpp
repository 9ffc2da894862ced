#include "device_session.h"
#include "pacer.h"
#include "session_common.h"

namespace orvsim {
namespace {

constexpr std::size_t kMaxControlBuffer = 64 * 1024;
constexpr int kSendWaitMs = 5000;

}  // namespace

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

}  // namespace orvsim
