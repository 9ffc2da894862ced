// Request handlers of the HTTP server, found by the request's path
// ("/query", later "/realtime", "/connect", "/alarm", "/audio_data", ...).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "http_request.h"
#include "platform/clock.h"
#include "platform/net.h"

namespace orvsim {

struct HttpReply {
  int status = 200;
  std::string body;
  std::string content_type = "text/xml";
};

struct HandlerContext {
  const HttpRequest& request;
  const QueryParams& params;
  platform::SockAddr peer;   // the client as this server sees it
  platform::SockAddr local;  // the address the client reached
  std::uint64_t connection = 0;
  // Handlers that wait (for a device, a peer) sleep on this; it is set at stop.
  platform::StopSignal& stop;
};

using Handler = std::function<HttpReply(const HandlerContext&)>;

class HandlerRegistry {
 public:
  // Replaces a handler already registered for the path.
  void add(std::string path, Handler handler);
  void remove(std::string_view path);
  std::optional<Handler> find(std::string_view path) const;

 private:
  mutable std::mutex m_;
  std::map<std::string, Handler, std::less<>> handlers_;
};

std::string_view reason_phrase(int status);

}  // namespace orvsim
