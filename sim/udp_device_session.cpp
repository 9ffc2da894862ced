#include <algorithm>

#include "device_session.h"
#include "pacer.h"
#include "session_common.h"

namespace orvsim {
namespace {

constexpr int kPunchIntervalMs = 300;

bool send_datagram(SOCKET s, std::span<const std::uint8_t> data, const platform::SockAddr& to) {
  return platform::send_to(s, reinterpret_cast<const char*>(data.data()),
                           static_cast<int>(data.size()), to) == static_cast<int>(data.size());
}

}  // namespace

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
