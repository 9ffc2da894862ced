#include "device_service.h"

#include <algorithm>
#include <charconv>

#include "faults.h"
#include "xml_writer.h"

namespace orvsim {
namespace {

constexpr std::size_t kNegotiationsKept = 16;
constexpr int kPollMs = 100;
constexpr int kDialMs = 5000;

std::string option(const SimChannel* ch, const char* key) {
  if (!ch) return {};
  auto it = ch->options.find(key);
  return it == ch->options.end() ? std::string() : it->second;
}

template <typename T>
std::optional<T> number(std::string_view text) {
  T v{};
  if (text.empty()) return std::nullopt;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

std::string xml_unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  static const std::pair<std::string_view, char> entities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  for (std::size_t i = 0; i < s.size();) {
    bool done = false;
    if (s[i] == '&') {
      for (const auto& [name, c] : entities) {
        if (s.substr(i, name.size()) == name) {
          out.push_back(c);
          i += name.size();
          done = true;
          break;
        }
      }
    }
    if (!done) out.push_back(s[i++]);
  }
  return out;
}

// The text of the first <name>...</name> of a reply the simulator wrote itself.
std::optional<std::string> element_text(std::string_view xml, std::string_view name) {
  const std::string open = "<" + std::string(name) + ">";
  const std::string close = "</" + std::string(name) + ">";
  std::size_t a = xml.find(open);
  if (a == std::string_view::npos) return std::nullopt;
  a += open.size();
  std::size_t b = xml.find(close, a);
  if (b == std::string_view::npos) return std::nullopt;
  return xml_unescape(xml.substr(a, b - a));
}

std::optional<std::uint32_t> session_number(std::string_view text) {
  if (auto u = number<std::uint32_t>(text)) return u;
  if (auto s = number<std::int32_t>(text)) return static_cast<std::uint32_t>(*s);
  return std::nullopt;
}

StreamFormat negotiated_format(const QueryParams& p, const SimChannel* ch) {
  StreamFormat f;
  if (auto r = format_for_resolution(p.get("img-resolution"))) f = *r;
  if (auto fps = number<int>(p.get("frame-rate")); fps && *fps > 0)
    f.fps = std::min(*fps, 25);
  else
    f.fps = 10;
  if (auto r = format_for_resolution(option(ch, "resolution"))) {
    const int fps = f.fps;
    f = *r;
    f.fps = fps;
  }
  if (auto fps = number<int>(option(ch, "fps")); fps && *fps > 0) f.fps = std::min(*fps, 25);
  f.sound = option(ch, "sound") == "1";
  return f;
}

}  // namespace

struct DeviceService::Listener {
  ChannelKey key;
  platform::Socket socket;
  platform::SockAddr address;
  platform::StopSignal stop;
  platform::Thread thread;
};

DeviceService::DeviceService() = default;

DeviceService::~DeviceService() {
  stop();
}

void DeviceService::install(HandlerRegistry& handlers, FleetSource fleet) {
  fleet_ = fleet;
  for (const char* path : {"/realtime", "/connect"}) {
    auto inner = handlers.find(path);
    handlers.add(path, [this, inner, fleet](const HandlerContext& c) -> HttpReply {
      HttpReply reply = inner && *inner ? (*inner)(c) : HttpReply{404, error_reply("no handler")};
      return negotiated(c, std::move(reply), *fleet());
    });
  }
}

SessionServices DeviceService::services() {
  std::lock_guard lock(m_);
  SessionServices s;
  s.faults = &faults_;
  s.log = &log_;
  s.heartbeat_ms = options_.heartbeat_ms;
  s.idle_ms = options_.idle_ms;
  s.stream_wait_ms = options_.stream_wait_ms;
  return s;
}

platform::SockAddr DeviceService::reachable(platform::SockAddr bound,
                                            std::uint32_t fallback_ip) const {
  if (bound.ip == 0) bound.ip = fallback_ip ? fallback_ip : 0x7F000001u;
  return bound;
}

void DeviceService::set_options(const DeviceServiceOptions& options) {
  std::lock_guard lock(m_);
  options_ = options;
}

DeviceServiceOptions DeviceService::options() const {
  std::lock_guard lock(m_);
  return options_;
}

bool DeviceService::start(const std::string& bind_ip) {
  stop();
  DeviceServiceOptions options;
  {
    std::lock_guard lock(m_);
    options_.bind_ip = bind_ip;
    options = options_;
  }
  error_.clear();
  auto ip = platform::parse_dotted(options.bind_ip);
  if (!ip) {
    error_ = "device bind address is not a dotted IPv4 address: " + options.bind_ip;
    return false;
  }
  bind_ip_ = *ip;
  RelayOptions relay;
  relay.bind = {bind_ip_, 0};
  relay.stream_wait_ms = options.stream_wait_ms;
  relay.client_wait_ms = options.relay_client_wait_ms;
  if (!relay_.start(relay)) {
    error_ = relay_.error();
    return false;
  }
  std::lock_guard lock(m_);
  running_ = true;
  if (fleet_) {
    auto fleet = fleet_();
    for (const auto& d : fleet->devices)
      for (const auto& ch : d.channels)
        if (ch.connect == ConnectType::client_monitor_direct) {
          int port = number<int>(option(&ch, "rtcp-port")).value_or(0);
          if (!listener_for({d.i2c, ch.number}, port) && error_.empty())
            error_ = "device " + d.i2c + " channel " + std::to_string(ch.number) +
                     " cannot listen on port " + std::to_string(port);
        }
  }
  return true;
}

void DeviceService::stop() {
  std::map<ChannelKey, std::unique_ptr<Listener>> listeners;
  std::vector<std::shared_ptr<DeviceSession>> sessions;
  {
    std::lock_guard lock(m_);
    running_ = false;
    listeners.swap(listeners_);
    sessions.swap(sessions_);
  }
  for (auto& [key, l] : listeners) {
    l->stop.stop();
    platform::shutdown_socket(l->socket.get());
    l->thread.join();
  }
  // Sessions a listener started while we were stopping it.
  {
    std::lock_guard lock(m_);
    for (auto& s : sessions_) sessions.push_back(s);
    sessions_.clear();
  }
  for (auto& s : sessions) s->stop();
  relay_.stop();
}

DeviceService::Listener* DeviceService::listener_for(const ChannelKey& key, int port) {
  auto it = listeners_.find(key);
  if (it != listeners_.end()) return it->second.get();
  if (!running_) return nullptr;
  auto l = std::make_unique<Listener>();
  l->key = key;
  l->socket.reset(platform::tcp_socket());
  if (!l->socket || !platform::set_reuse_addr(l->socket.get(), true) ||
      !platform::bind_socket(l->socket.get(), {bind_ip_, static_cast<std::uint16_t>(port)}) ||
      !platform::listen_socket(l->socket.get(), 16))
    return nullptr;
  l->address =
      reachable(platform::local_address(l->socket.get()).value_or(platform::SockAddr{}), bind_ip_);
  Listener* raw = l.get();
  bool ok = raw->thread.create([this, raw] {
    while (!raw->stop.stopped()) {
      int r = platform::wait_readable(raw->socket.get(), kPollMs);
      if (r < 0) break;
      if (r == 0) continue;
      platform::Socket s(platform::accept_socket(raw->socket.get()));
      if (!s) continue;
      const ChannelKey key = raw->key;
      auto session = std::make_shared<TcpDeviceSession>(
          services(), key, ConnectType::client_monitor_direct,
          [this, key](const SessionUrl& url) {
            return authorize(key, ConnectType::client_monitor_direct, url);
          },
          listen_opener());
      if (!add_session(session)) continue;
      session->start(std::move(s));
    }
  });
  if (!ok) return nullptr;
  raw->thread.resume();
  listeners_.emplace(key, std::move(l));
  return raw;
}

std::optional<platform::SockAddr> DeviceService::listener_address(const ChannelKey& key) const {
  std::lock_guard lock(m_);
  auto it = listeners_.find(key);
  if (it == listeners_.end()) return std::nullopt;
  return it->second->address;
}

std::optional<StreamFormat> DeviceService::authorize(const ChannelKey& key, ConnectType type,
                                                     const SessionUrl& url) const {
  std::lock_guard lock(m_);
  auto it = negotiations_.find(key);
  if (it == negotiations_.end()) return std::nullopt;
  for (const auto& n : it->second)
    if (n.type == type && n.random == url.random && n.session == url.session) return n.format;
  return std::nullopt;
}

void DeviceService::remember(const Negotiation& n) {
  std::lock_guard lock(m_);
  auto& list = negotiations_[n.key];
  list.push_back(n);
  while (list.size() > kNegotiationsKept) list.pop_front();
}

void DeviceService::expect(const Negotiation& negotiation) {
  remember(negotiation);
}

std::vector<Negotiation> DeviceService::negotiations() const {
  std::lock_guard lock(m_);
  std::vector<Negotiation> out;
  for (const auto& [key, list] : negotiations_) out.insert(out.end(), list.begin(), list.end());
  return out;
}

bool DeviceService::add_session(std::shared_ptr<DeviceSession> session) {
  std::vector<std::shared_ptr<DeviceSession>> done;
  bool ok = false;
  {
    std::lock_guard lock(m_);
    auto keep = std::partition(sessions_.begin(), sessions_.end(),
                               [](const auto& s) { return !s->finished(); });
    done.assign(keep, sessions_.end());
    sessions_.erase(keep, sessions_.end());
    if (running_ && sessions_.size() < options_.max_sessions) {
      sessions_.push_back(std::move(session));
      ok = true;
    }
  }
  // Finished sessions are joined outside the lock.
  for (auto& s : done) s->stop();
  return ok;
}

bool DeviceService::serve_udp(const ChannelKey& key, platform::Socket socket,
                              platform::SockAddr peer) {
  UdpDeviceSession::Options o;
  o.stream_bind = {bind_ip_, 0};
  auto session = std::make_shared<UdpDeviceSession>(
      services(), key,
      [this, key](const SessionUrl& url) {
        return authorize(key, ConnectType::client_monitor_p2p, url);
      },
      o);
  if (!add_session(session)) return false;
  return session->start(std::move(socket), peer);
}

HttpReply DeviceService::negotiated(const HandlerContext& c, HttpReply reply, const Fleet& fleet) {
  if (reply.status != 200) return reply;
  auto type_text = element_text(reply.body, "ConnectType");
  if (!type_text) return reply;
  auto type = parse_connect_type(*type_text);
  if (!type) return reply;
  const std::string i2c = c.params.get("i2c");
  int channel = 0;
  if (const std::string* text = c.params.find("channel")) channel = number<int>(*text).value_or(0);
  const SimDevice* device = fleet.find(i2c);
  const SimChannel* ch = device ? device->channel(channel) : nullptr;
  auto random = element_text(reply.body, "RandomValue");
  auto session_text = element_text(reply.body, "SessionId");
  auto session = session_text ? session_number(*session_text) : std::nullopt;
  if (!random || !session) return reply;

  Negotiation n;
  n.key = {i2c, channel};
  n.type = *type;
  n.random = *random;
  n.session = *session;
  n.format = negotiated_format(c.params, ch);
  const std::uint32_t here = c.local.ip ? c.local.ip : bind_ip_;

  switch (*type) {
    case ConnectType::client_monitor_direct: {
      const std::string fixed = option(ch, "rtcp-port");
      Listener* l;
      {
        std::lock_guard lock(m_);
        l = listener_for(n.key, number<int>(fixed).value_or(0));
      }
      if (!l) {
        log_.note(n.key, "no listener for the channel");
        return reply;
      }
      remember(n);
      if (fixed.empty())
        reply.body = replace_element_text(reply.body, "RtcpPort", std::to_string(l->address.port));
      return reply;
    }
    case ConnectType::monitor_client_direct: {
      auto port = number<int>(c.params.get("listen-port"));
      if (!port || *port <= 0 || *port > 65535) return reply;
      const auto p16 = static_cast<std::uint16_t>(*port);
      auto lan = platform::parse_dotted(c.params.get("lan-ip"));
      platform::SockAddr first{lan && *lan ? *lan : c.peer.ip, p16};
      platform::SockAddr second{c.peer.ip, p16};
      n.client = first;
      remember(n);
      auto session = std::make_shared<TcpDeviceSession>(
          services(), n.key, *type,
          [n](const SessionUrl& url) -> std::optional<StreamFormat> {
            if (url.random == n.random && url.session == n.session) return n.format;
            return std::nullopt;
          },
          dial_opener(first));
      if (!add_session(session)) return reply;
      session->start([first, second](platform::StopSignal& stop) {
        platform::Socket s = dial(first, stop, kDialMs);
        if (!s && second != first) s = dial(second, stop, kDialMs);
        return s;
      });
      return reply;
    }
    case ConnectType::client_monitor_middle_transfer: {
      if (!option(ch, "transit-ip").empty()) return reply;  // an outside relay
      const platform::SockAddr relay = reachable(relay_.address(), here);
      if (!relay_.running()) return reply;
      remember(n);
      if (option(ch, "transit-port").empty())
        reply.body = replace_element_text(reply.body, "TransitPort", std::to_string(relay.port));
      auto session = std::make_shared<TcpDeviceSession>(
          services(), n.key, *type,
          [n](const SessionUrl& url) -> std::optional<StreamFormat> {
            if (url.random == n.random && url.session == n.session) return n.format;
            return std::nullopt;
          },
          relay_opener(relay));
      if (!add_session(session)) return reply;
      const std::string line =
          "DEVICE control " + std::to_string(n.session) + " " + n.random + "\r\n";
      session->start([relay, line](platform::StopSignal& stop) {
        platform::Socket s = dial(relay, stop, kDialMs);
        if (s && !platform::send_all(s.get(), line, kDialMs)) s.reset();
        return s;
      });
      return reply;
    }
    case ConnectType::client_monitor_p2p: {
      auto server_ip = platform::parse_dotted(element_text(reply.body, "IPv4").value_or(""));
      auto server_port = number<int>(element_text(reply.body, "Port").value_or(""));
      if (!server_ip || !server_port || *server_port <= 0 || *server_port > 65535) return reply;
      remember(n);
      platform::Socket s(platform::udp_socket());
      if (!s || !platform::bind_socket(s.get(), {bind_ip_, 0})) return reply;
      UdpDeviceSession::Options o;
      o.stream_bind = {bind_ip_, 0};
      o.announce_ip = platform::SockAddr{bind_ip_ ? bind_ip_ : here, 0}.ip_text();
      auto session = std::make_shared<UdpDeviceSession>(
          services(), n.key,
          [n](const SessionUrl& url) -> std::optional<StreamFormat> {
            if (url.random == n.random && url.session == n.session) return n.format;
            return std::nullopt;
          },
          o);
      if (!add_session(session)) return reply;
      session->start_punching(std::move(s), {*server_ip, static_cast<std::uint16_t>(*server_port)},
                              n.session, n.random);
      return reply;
    }
  }
  return reply;
}

std::vector<ServedEndpoint> DeviceService::endpoints() const {
  std::vector<ServedEndpoint> out;
  if (!fleet_) return out;
  auto fleet = fleet_();
  const platform::SockAddr relay = reachable(relay_.address(), bind_ip_);
  for (const auto& d : fleet->devices) {
    for (const auto& ch : d.channels) {
      ServedEndpoint e;
      e.key = {d.i2c, ch.number};
      e.type = ch.connect;
      switch (ch.connect) {
        case ConnectType::client_monitor_direct: {
          auto a = listener_address(e.key);
          e.address = a.value_or(platform::SockAddr{});
          e.text = a ? "listens on " + a->text() + " (ConnectInfo LAN-IP:RtcpPort)" : "no listener";
          break;
        }
        case ConnectType::monitor_client_direct:
          e.text =
              "dials the client's listener (lan-ip:listen-port of the request) twice: "
              "control, then stream";
          break;
        case ConnectType::client_monitor_middle_transfer:
          if (auto it = ch.options.find("transit-ip"); it != ch.options.end()) {
            e.text = "outside relay " + it->second;
          } else {
            e.address = relay;
            e.text = "behind the relay " + relay.text() + " (ConnectInfo TransitIP:TransitPort)";
          }
          break;
        case ConnectType::client_monitor_p2p:
          e.text = "punches through the P2P server of ConnectInfo IPv4:Port";
          break;
      }
      std::string picture;
      if (auto r = option(&ch, "resolution"); !r.empty()) picture += r + " ";
      if (auto f = option(&ch, "fps"); !f.empty()) picture += f + " fps ";
      if (picture.empty()) picture = "in the negotiated size and rate ";
      e.text +=
          "; H.264 " + picture +
          (ch.connect == ConnectType::client_monitor_p2p ? "as UDP slices" : "as TCP records");
      if (option(&ch, "sound") == "1") e.text += " with sound";
      out.push_back(std::move(e));
    }
  }
  return out;
}

std::string DeviceService::summary() const {
  std::string out;
  for (const auto& e : endpoints()) {
    out += "device " + e.key.i2c + " channel " + std::to_string(e.key.channel) + ": " +
           std::string(connect_type_text(e.type)) + ", " + e.text + "\n";
  }
  return out;
}

}  // namespace orvsim
