// The HTTP exchange every control request runs on a CMorvic, and the
// library's own authentication socket.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CMorvic;

namespace velmo {

enum class HttpFailure {
  none,
  bad_url,  // not formatted, not split, or carrying unsafe characters
  format,   // FormatRequestHeader refused
  socket,   // no socket for a new connection
  connect,  // connection to the server failed
  send,     // request not sent or no response head
  length,   // Content-Length absent, not a number or out of bounds
  body,     // body ended before Content-Length bytes
};

struct HttpResult {
  HttpFailure failure = HttpFailure::none;
  int status = 0;  // valid once the request was sent
  std::string body;
  bool read() const { return failure == HttpFailure::none; }
  bool ok() const { return read() && status == 200; }
};

// Limits of a reply body: replies are small XML texts, so a huge
// Content-Length is refused instead of allocated.
inline constexpr std::int64_t kMaxBodyLength = 4 * 1024 * 1024;

// Opening a new connection (authentication): the port and receive time-out.
struct NewConnection {
  int port = 0;
  int timeout_s = 20;
};

// What http_exchange checks in the URL's object before sending it.
enum class UrlCheck {
  safe_text,  // refuse controls and blanks (values taken as they are)
  binary,     // the caller escaped its own values; CMorvic escapes the rest
};

// Runs one exchange on conn. With open set, a new connection is made first;
// else the open connection is reused. min_length 1 refuses empty bodies.
HttpResult http_exchange(CMorvic& conn, const std::wstring& url, const NewConnection* open,
                         std::int64_t min_length = 0, UrlCheck check = UrlCheck::safe_text);

// A request on an open connection: action word directly followed by query.
HttpResult http_request(CMorvic& conn, std::wstring_view server, int port,
                        std::wstring_view action_query, UrlCheck check = UrlCheck::safe_text);

void close_http(CMorvic* conn);
std::shared_ptr<CMorvic> make_http();

// The library's authentication socket (UserAnthenticate, ConnectAnalyze and
// the device-form alarm commands).
std::shared_ptr<CMorvic> auth_socket();
void set_auth_socket(std::shared_ptr<CMorvic> conn);

}  // namespace velmo
