#include "http_server.h"

#include <chrono>

#include "xml_writer.h"

namespace orvsim {
namespace {

constexpr int kSliceMs = 500;  // longest wait between looks at the stop flag

std::string status_head(int status, std::size_t length, std::string_view content_type,
                        bool keep_open, bool with_length = true) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " +
                     std::string(reason_phrase(status)) + "\r\nServer: orvsim\r\n";
  if (!content_type.empty()) head += "Content-Type: " + std::string(content_type) + "\r\n";
  if (with_length) head += "Content-Length: " + std::to_string(length) + "\r\n";
  head += keep_open ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  return head;
}

}  // namespace

HttpServer::HttpServer(HandlerRegistry& handlers, RequestLog& log, FaultPlan& faults)
    : handlers_(handlers), log_(log), faults_(faults) {}

HttpServer::~HttpServer() {
  stop();
}

bool HttpServer::start(const HttpServerOptions& options) {
  stop();
  options_ = options;
  error_.clear();
  stop_.reset();
  platform::Socket s(platform::tcp_socket());
  if (!s) {
    error_ = "cannot create a TCP socket";
    return false;
  }
  platform::set_reuse_addr(s.get(), true);
  // Non-blocking: a connection that vanishes between the wait and accept must
  // not leave the accept thread blocked.
  platform::set_nonblocking(s.get(), true);
  if (!platform::bind_socket(s.get(), options.bind)) {
    error_ = "cannot bind HTTP port " + options.bind.text();
    return false;
  }
  if (!platform::listen_socket(s.get(), 64)) {
    error_ = "cannot listen on " + options.bind.text();
    return false;
  }
  auto local = platform::local_address(s.get());
  if (!local) {
    error_ = "cannot read the bound HTTP port";
    return false;
  }
  port_ = local->port;
  listener_ = std::move(s);
  if (!accept_thread_.create([this] { accept_loop(); })) {
    error_ = "cannot start the accept thread";
    listener_.reset();
    return false;
  }
  accept_thread_.resume();
  return true;
}

void HttpServer::stop() {
  if (!listener_.valid()) return;
  stop_.stop();
  platform::shutdown_socket(listener_.get());
  accept_thread_.join();

  std::list<std::unique_ptr<Connection>> connections;
  {
    std::lock_guard lock(m_);
    for (auto& c : connections_) platform::shutdown_socket(c->socket.get());
    connections.swap(connections_);
  }
  for (auto& c : connections) c->thread.join();
  connections.clear();
  listener_.reset();
}

std::uint64_t HttpServer::accepted() const {
  std::lock_guard lock(m_);
  return accepted_;
}

std::size_t HttpServer::open_connections() const {
  std::lock_guard lock(m_);
  return open_;
}

bool HttpServer::wait_open_connections(std::size_t n, int timeout_ms) const {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
                      [&] { return open_ == n; });
}

void HttpServer::set_observer(AnswerObserver observer) {
  std::lock_guard lock(m_);
  observer_ = std::move(observer);
}

void HttpServer::reap_finished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard lock(m_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->done) {
        finished.push_back(std::move(*it));
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : finished) c->thread.join();
}

void HttpServer::accept_loop() {
  while (!stop_.stopped()) {
    int r = platform::wait_readable(listener_.get(), kSliceMs);
    reap_finished();
    if (stop_.stopped() || r < 0) break;
    if (r == 0) continue;
    platform::SockAddr peer;
    platform::Socket s(platform::accept_socket(listener_.get(), &peer));
    if (!s) continue;
    if (stop_.stopped()) break;
    platform::set_nodelay(s.get(), true);
    // Non-blocking, so every send waits for room only up to its time limit.
    platform::set_nonblocking(s.get(), true);
    if (open_connections() >= options_.max_connections) {
      // A flood of connections must not become a flood of threads.
      std::string busy = status_head(503, 0, "", false);
      platform::send_all(s.get(), busy, 100);
      continue;
    }

    auto c = std::make_unique<Connection>();
    c->socket = std::move(s);
    c->peer = peer;
    c->local = platform::local_address(c->socket.get()).value_or(platform::SockAddr{});
    Connection* raw = c.get();
    {
      std::lock_guard lock(m_);
      c->id = ++accepted_;
      if (!c->thread.create([this, raw] {
            serve(*raw);
            platform::shutdown_socket(raw->socket.get());
            {
              std::lock_guard inner(m_);
              raw->done = true;
              --open_;
            }
            cv_.notify_all();
          }))
        continue;  // the socket closes with c
      ++open_;
      connections_.push_back(std::move(c));
    }
    cv_.notify_all();
    raw->thread.resume();
  }
}

bool HttpServer::read_more(Connection& c, std::string& buf) {
  std::uint64_t idle_since = platform::tick_ms64();
  for (;;) {
    if (stop_.stopped()) return false;
    int r = platform::wait_readable(c.socket.get(), kSliceMs);
    if (r < 0) return false;
    if (r == 0) {
      if (platform::tick_ms64() - idle_since >= std::uint64_t(options_.idle_timeout_ms))
        return false;
      continue;
    }
    char tmp[4096];
    int n = platform::recv_some(c.socket.get(), tmp, sizeof tmp);
    if (n < 0 && platform::would_block()) continue;
    if (n <= 0) return false;
    buf.append(tmp, static_cast<std::size_t>(n));
    return true;
  }
}

void HttpServer::serve(Connection& c) {
  std::string buf;
  std::size_t index = 0;
  for (;;) {
    // Stray line ends between requests are allowed and skipped.
    std::optional<std::size_t> end;
    for (;;) {
      std::size_t skip = 0;
      while (skip < buf.size() && (buf[skip] == '\r' || buf[skip] == '\n')) ++skip;
      buf.erase(0, skip);
      end = find_head_end(buf);
      if (end || buf.size() > options_.max_head) break;
      if (!read_more(c, buf)) return;
    }
    if (!end || *end > options_.max_head) {
      refuse(c, 431, "request head too large");
      return;
    }
    HttpRequest request;
    HeadError err = parse_request_head(std::string_view(buf).substr(0, *end), request);
    buf.erase(0, *end);
    if (err != HeadError::none) {
      int status = err == HeadError::bad_version ? 505 : 400;
      refuse(c, status, "malformed request");
      return;
    }
    auto length = request_body_length(request);
    if (!length) {
      refuse(c, 400, "malformed Content-Length");
      return;
    }
    if (*length > options_.max_body) {
      refuse(c, 413, "request body too large");
      return;
    }
    while (buf.size() < *length)
      if (!read_more(c, buf)) return;
    request.body = buf.substr(0, *length);
    buf.erase(0, *length);

    std::optional<Fault> fault = faults_.take(request.path);
    LoggedRequest entry;
    entry.connection = c.id;
    entry.index_on_connection = index++;
    entry.peer = c.peer;
    entry.tick_ms = platform::tick_ms64();
    entry.fault = fault ? fault->describe() : std::string();
    entry.request = request;
    AnswerObserver observer;
    {
      std::lock_guard lock(m_);
      observer = observer_;
    }
    std::optional<LoggedRequest> copy;
    if (observer) copy = entry;
    log_.add(std::move(entry));
    int status = 0;
    bool keep_open = answer(c, request, fault, status);
    if (observer) observer(*copy, status);
    if (!keep_open) return;
  }
}

void HttpServer::refuse(Connection& c, int status, std::string_view why) {
  send_reply(c, status, error_reply(why), "text/xml", false);
  // Read what the client still sends for a moment, so closing with unread
  // bytes does not turn into a reset that could destroy the answer in flight.
  std::uint64_t until = platform::tick_ms64() + 1000;
  char tmp[4096];
  while (!stop_.stopped() && platform::tick_ms64() < until &&
         platform::wait_readable(c.socket.get(), 50) == 1 &&
         platform::recv_some(c.socket.get(), tmp, sizeof tmp) > 0) {
  }
}

bool HttpServer::send_reply(Connection& c, int status, std::string_view body,
                            std::string_view content_type, bool keep_open) {
  std::string reply = status_head(status, body.size(), content_type, keep_open);
  reply.append(body);
  return platform::send_all(c.socket.get(), reply, options_.send_timeout_ms) && keep_open;
}

void HttpServer::stall(Connection& c) {
  // Whatever the client sends meanwhile is read and dropped, so its close is seen.
  for (;;) {
    if (stop_.stopped()) return;
    int r = platform::wait_readable(c.socket.get(), kSliceMs);
    if (r < 0) return;
    if (r == 0) continue;
    char tmp[1024];
    int n = platform::recv_some(c.socket.get(), tmp, sizeof tmp);
    if (n < 0 && platform::would_block()) continue;
    if (n <= 0) return;
  }
}

bool HttpServer::answer(Connection& c, const HttpRequest& request,
                        const std::optional<Fault>& fault, int& status) {
  status = 0;
  if (fault) {
    switch (fault->kind) {
      case FaultKind::drop:
        return false;
      case FaultKind::stall:
        stall(c);
        return false;
      case FaultKind::raw:
        status = -1;
        return platform::send_all(c.socket.get(), fault->text, options_.send_timeout_ms);
      case FaultKind::delay:
        if (!stop_.sleep_for(fault->delay_ms)) return false;
        break;
      default:
        break;
    }
  }

  HttpReply reply;
  if (request.method != "GET") {
    reply = {405, error_reply("only GET is served"), "text/xml"};
  } else if (auto handler = handlers_.find(request.path)) {
    QueryParams params = parse_query(request.query);
    HandlerContext context{request, params, c.peer, c.local, c.id, stop_};
    reply = (*handler)(context);
    if (stop_.stopped()) return false;
  } else {
    reply = {404, error_reply("unknown request " + request.path), "text/xml"};
  }
  bool keep_open = request.keep_alive();
  status = reply.status;

  if (fault) {
    switch (fault->kind) {
      case FaultKind::status:
        reply.status = status = fault->status;
        break;
      case FaultKind::missing_element:
        reply.body = remove_element(reply.body, fault->element);
        break;
      case FaultKind::wrong_element:
        reply.body = replace_element_text(reply.body, fault->element, fault->text);
        break;
      case FaultKind::short_body: {
        std::string head = status_head(reply.status, reply.body.size(), reply.content_type, true);
        head.append(reply.body.substr(0, std::min(fault->body_bytes, reply.body.size())));
        platform::send_all(c.socket.get(), head, options_.send_timeout_ms);
        return false;
      }
      case FaultKind::no_content_length: {
        std::string head = status_head(reply.status, 0, reply.content_type, false, false);
        head.append(reply.body);
        platform::send_all(c.socket.get(), head, options_.send_timeout_ms);
        return false;
      }
      default:
        break;
    }
  }
  return send_reply(c, reply.status, reply.body, reply.content_type, keep_open);
}

}  // namespace orvsim
