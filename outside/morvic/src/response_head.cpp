#include "response_head.h"

#include <charconv>
#include <limits>

namespace morvic {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Field-name characters (RFC 9110 token).
bool is_token_char(char c) {
  if (is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  switch (c) {
    case '!':
    case '#':
    case '$':
    case '%':
    case '&':
    case '\'':
    case '*':
    case '+':
    case '-':
    case '.':
    case '^':
    case '_':
    case '`':
    case '|':
    case '~':
      return true;
    default:
      return false;
  }
}

// Control characters other than tab have no place in a head line.
bool has_control(std::string_view s) {
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t') || u == 0x7F) return true;
  }
  return false;
}

bool parse_status_line(std::string_view line, ResponseHead& head) {
  // HTTP/x.y SP 3DIGIT [SP reason]
  if (line.size() < 12 || line.substr(0, 5) != "HTTP/") return false;
  if (!is_digit(line[5]) || line[6] != '.' || !is_digit(line[7]) || line[8] != ' ') return false;
  head.major = line[5] - '0';
  head.minor = line[7] - '0';
  if (head.major != 1) return false;
  if (!is_digit(line[9]) || !is_digit(line[10]) || !is_digit(line[11])) return false;
  head.status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  if (head.status < 100) return false;
  std::string_view rest = line.substr(12);
  if (!rest.empty()) {
    if (rest.front() != ' ') return false;
    rest.remove_prefix(1);
  }
  head.reason.assign(rest);
  return true;
}

bool parse_length(std::string_view value, std::uint64_t& out) {
  if (value.empty()) return false;
  for (char c : value)
    if (!is_digit(c)) return false;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), out);
  return ec == std::errc() && end == value.data() + value.size();
}

bool has_token(std::string_view list, std::string_view token) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (iequals(trim(list.substr(0, comma)), token)) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

std::size_t find_head_end(std::string_view buf, std::size_t from) {
  // A head that opens with its blank line is complete (and malformed).
  if (buf.starts_with("\n")) return 1;
  if (buf.starts_with("\r\n")) return 2;
  // Resume a little before `from` so a line end split across reads is found.
  std::size_t i = from > 2 ? from - 2 : 0;
  for (; i < buf.size(); ++i) {
    if (buf[i] != '\n') continue;
    if (i + 1 < buf.size() && buf[i + 1] == '\n') return i + 2;
    if (i + 2 < buf.size() && buf[i + 1] == '\r' && buf[i + 2] == '\n') return i + 3;
  }
  return 0;
}

const std::string* ResponseHead::field(std::string_view name) const {
  for (const auto& [n, v] : fields)
    if (iequals(n, name)) return &v;
  return nullptr;
}

std::optional<std::uint64_t> ResponseHead::body_length() const {
  if ((status >= 100 && status < 200) || status == 204 || status == 304) return 0;
  if (transfer_encoding) return std::nullopt;
  return content_length;
}

std::optional<ResponseHead> parse_response_head(std::string_view head) {
  ResponseHead out;
  bool first = true;
  bool keep_alive = false;
  while (!head.empty()) {
    const std::size_t nl = head.find('\n');
    if (nl == std::string_view::npos) return std::nullopt;  // not delimited by find_head_end
    std::string_view line = head.substr(0, nl);
    head.remove_prefix(nl + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (has_control(line)) return std::nullopt;

    if (first) {
      if (!parse_status_line(line, out)) return std::nullopt;
      first = false;
      continue;
    }
    if (line.empty()) {
      if (!head.empty()) return std::nullopt;  // bytes after the blank line
      break;
    }
    if (is_blank(line.front())) {
      // An obsolete folded line continues the previous field's value.
      if (out.fields.empty()) return std::nullopt;
      std::string_view more = trim(line);
      std::string& value = out.fields.back().second;
      if (!more.empty()) {
        if (!value.empty()) value += ' ';
        value.append(more);
      }
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const std::string_view name = line.substr(0, colon);
    for (char c : name)
      if (!is_token_char(c)) return std::nullopt;
    out.fields.emplace_back(std::string(name), std::string(trim(line.substr(colon + 1))));
  }
  if (first) return std::nullopt;

  // Framing is decided once all folded lines are joined.
  for (const auto& [name, value] : out.fields) {
    if (iequals(name, "Content-Length")) {
      std::uint64_t n = 0;
      if (!parse_length(value, n)) return std::nullopt;
      if (out.content_length && *out.content_length != n) return std::nullopt;
      out.content_length = n;
    } else if (iequals(name, "Transfer-Encoding")) {
      out.transfer_encoding = true;
    } else if (iequals(name, "Connection")) {
      if (has_token(value, "close")) out.close = true;
      if (has_token(value, "keep-alive")) keep_alive = true;
    }
  }
  if (out.transfer_encoding && out.content_length) return std::nullopt;
  if (out.minor == 0 && !keep_alive) out.close = true;
  return out;
}

std::optional<std::string> format_get_request(std::string_view host, std::string_view object,
                                              int port) {
  if (host.empty() || object.empty()) return std::nullopt;
  if (has_control(host) || has_control(object)) return std::nullopt;
  for (char c : host)
    if (is_blank(c)) return std::nullopt;
  for (char c : object)
    if (c == '\t') return std::nullopt;
  std::string text;
  text.reserve(object.size() + host.size() + 64);
  text.append("GET ").append(object).append(" HTTP/1.1\r\nHost: ").append(host);
  if (port > 0 && port != 80) text.append(":").append(std::to_string(port));
  text.append("\r\nConnection: Keep-Alive\r\n\r\n");
  return text;
}

}  // namespace morvic
