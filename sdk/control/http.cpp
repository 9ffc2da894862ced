#include "control/http.h"

#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "control/request.h"
#include "morvic/morvic.h"

namespace velmo {
namespace {

std::mutex g_auth_mutex;
std::shared_ptr<CMorvic> g_auth;

}  // namespace

HttpResult http_exchange(CMorvic& conn, const std::wstring& url, const NewConnection* open,
                         std::int64_t min_length, UrlCheck check) {
  HttpResult r;
  auto parts = split_url(url);
  if (!parts || (check == UrlCheck::safe_text && !url_text_safe(parts->object))) {
    r.failure = HttpFailure::bad_url;
    return r;
  }
  long length = 0;
  if (!conn.FormatRequestHeader(parts->host.data(), parts->object.data(), length, nullptr, nullptr,
                                0, 0, 0)) {
    r.failure = HttpFailure::format;
    return r;
  }
  if (open) {
    if (!conn.Socket()) {
      r.failure = HttpFailure::socket;
      return r;
    }
    if (!conn.Connect(parts->host.data(), open->port)) {
      r.failure = HttpFailure::connect;
      return r;
    }
    conn.SetTimeout(open->timeout_s, 0);
  }
  if (!conn.SendRequest(nullptr, 0)) {
    r.failure = HttpFailure::send;
    return r;
  }
  r.status = conn.GetServerState();
  const auto content_length = parse_content_length(conn.GetField(L"Content-Length"));
  if (!content_length || *content_length < min_length || *content_length > kMaxBodyLength) {
    r.failure = HttpFailure::length;
    return r;
  }
  const auto total = static_cast<std::size_t>(*content_length);
  std::string body;
  try {
    body.reserve(total);
  } catch (const std::bad_alloc&) {
    r.failure = HttpFailure::length;
    return r;
  }
  char chunk[1024];
  while (body.size() < total) {
    const int n = conn.SelectRcv(chunk, static_cast<int>(sizeof chunk));
    if (n <= 0 || n > static_cast<int>(sizeof chunk)) {
      r.failure = HttpFailure::body;
      return r;
    }
    body.append(chunk, std::min(static_cast<std::size_t>(n), total - body.size()));
  }
  r.body = std::move(body);
  return r;
}

HttpResult http_request(CMorvic& conn, std::wstring_view server, int port,
                        std::wstring_view action_query, UrlCheck check) {
  return http_exchange(conn, format_url(server, port, action_query), nullptr, 0, check);
}

void close_http(CMorvic* conn) {
  if (conn) conn->CloseSocket();
}

std::shared_ptr<CMorvic> make_http() {
  try {
    return std::make_shared<CMorvic>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::shared_ptr<CMorvic> auth_socket() {
  std::lock_guard lock(g_auth_mutex);
  return g_auth;
}

void set_auth_socket(std::shared_ptr<CMorvic> conn) {
  std::shared_ptr<CMorvic> old;
  {
    std::lock_guard lock(g_auth_mutex);
    old = std::exchange(g_auth, std::move(conn));
  }
  close_http(old.get());
}

}  // namespace velmo
