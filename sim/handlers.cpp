#include "handlers.h"

namespace orvsim {

void HandlerRegistry::add(std::string path, Handler handler) {
  std::lock_guard lock(m_);
  handlers_[std::move(path)] = std::move(handler);
}

void HandlerRegistry::remove(std::string_view path) {
  std::lock_guard lock(m_);
  auto it = handlers_.find(path);
  if (it != handlers_.end()) handlers_.erase(it);
}

std::optional<Handler> HandlerRegistry::find(std::string_view path) const {
  std::lock_guard lock(m_);
  auto it = handlers_.find(path);
  if (it == handlers_.end()) return std::nullopt;
  return it->second;
}

std::string_view reason_phrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Content Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Status";
  }
}

}  // namespace orvsim
