#include "http_request.h"

#include <algorithm>
#include <charconv>

namespace orvsim {
namespace {

bool iequals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool is_token_char(unsigned char c) {
  if (c <= 32 || c >= 127) return false;
  return std::string_view("()<>@,;:\\\"/[]?={}").find(char(c)) == std::string_view::npos;
}

}  // namespace

std::optional<std::string> HttpRequest::field(std::string_view name) const {
  for (const auto& f : fields)
    if (iequals(f.name, name)) return f.value;
  return std::nullopt;
}

bool HttpRequest::keep_alive() const {
  auto connection = field("Connection");
  if (version == "HTTP/1.0") return connection && iequals(*connection, "keep-alive");
  return !(connection && iequals(*connection, "close"));
}

const std::string* QueryParams::find(std::string_view key) const {
  for (const auto& [k, v] : items)
    if (k == key) return &v;
  return nullptr;
}

std::string QueryParams::get(std::string_view key) const {
  const std::string* v = find(key);
  return v ? *v : std::string();
}

QueryParams parse_query(std::string_view query) {
  QueryParams params;
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view item = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    if (item.empty()) continue;
    std::size_t eq = item.find('=');
    if (eq == std::string_view::npos)
      params.items.emplace_back(std::string(item), std::string());
    else
      params.items.emplace_back(std::string(item.substr(0, eq)), std::string(item.substr(eq + 1)));
  }
  return params;
}

std::optional<std::size_t> find_head_end(std::string_view buffer) {
  // The earliest empty line, whichever line end the client uses.
  for (std::size_t i = buffer.find('\n'); i != std::string_view::npos;
       i = buffer.find('\n', i + 1)) {
    if (i + 1 < buffer.size() && buffer[i + 1] == '\n') return i + 2;
    if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') return i + 3;
  }
  return std::nullopt;
}

HeadError parse_request_head(std::string_view head, HttpRequest& request) {
  request = HttpRequest{};
  request.head = std::string(head);
  std::size_t eol = head.find('\n');
  if (eol == std::string_view::npos) return HeadError::bad_request_line;
  std::string_view line = head.substr(0, eol);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  request.request_line = std::string(line);

  // Method up to the first blank, version after the last: the target between
  // them is kept whole, since the client does not encode blanks in values.
  std::size_t first = line.find(' ');
  std::size_t last = line.rfind(' ');
  if (first == std::string_view::npos || first == 0 || last == first)
    return HeadError::bad_request_line;
  std::string_view method = line.substr(0, first);
  if (!std::all_of(method.begin(), method.end(), [](char c) { return is_token_char(c); }))
    return HeadError::bad_request_line;
  std::string_view target = line.substr(first + 1, last - first - 1);
  while (!target.empty() && target.front() == ' ') target.remove_prefix(1);
  while (!target.empty() && target.back() == ' ') target.remove_suffix(1);
  std::string_view version = line.substr(last + 1);
  if (target.empty()) return HeadError::bad_request_line;
  if (version != "HTTP/1.1" && version != "HTTP/1.0") return HeadError::bad_version;
  request.method = std::string(method);
  request.target = std::string(target);
  request.version = std::string(version);

  std::string_view origin = target;
  if (origin.substr(0, 7) == "http://") {
    std::size_t slash = origin.find('/', 7);
    origin = slash == std::string_view::npos ? std::string_view("/") : origin.substr(slash);
  }
  std::size_t q = origin.find('?');
  request.path = std::string(origin.substr(0, q));
  if (q != std::string_view::npos) request.query = std::string(origin.substr(q + 1));

  std::string_view rest = head.substr(eol + 1);
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view field = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!field.empty() && field.back() == '\r') field.remove_suffix(1);
    if (field.empty()) break;  // the blank line
    std::size_t colon = field.find(':');
    if (colon == std::string_view::npos || colon == 0) return HeadError::bad_field;
    std::string_view name = field.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), [](char c) { return is_token_char(c); }))
      return HeadError::bad_field;
    request.fields.push_back({std::string(name), std::string(trim(field.substr(colon + 1)))});
  }
  return HeadError::none;
}

std::optional<std::size_t> request_body_length(const HttpRequest& request) {
  auto value = request.field("Content-Length");
  if (!value) return 0;
  std::size_t n = 0;
  const char* b = value->data();
  const char* e = b + value->size();
  auto [p, ec] = std::from_chars(b, e, n);
  if (ec != std::errc() || p != e || value->empty()) return std::nullopt;
  return n;
}

}  // namespace orvsim
