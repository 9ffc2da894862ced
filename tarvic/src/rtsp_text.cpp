#include "rtsp_text.h"

#include <algorithm>
#include <cstring>

namespace tarvic {
namespace {

constexpr std::wstring_view kCrLf = L"\r\n";

void append_line(std::wstring& out, std::wstring_view a, std::wstring_view b = {}) {
  out.append(a);
  out.append(b);
  out.append(kCrLf);
}

std::wstring request_line(std::wstring_view verb, std::wstring_view url, int cseq) {
  std::wstring out;
  out.reserve(256 + url.size());
  out.append(verb);
  out.push_back(L' ');
  append_line(out, url, L" RTSP/1.0");
  append_line(out, L"CSeq: ", std::to_wstring(cseq));
  return out;
}

}  // namespace

std::wstring session_request(std::wstring_view verb, int cseq, std::wstring_view url,
                             std::uint32_t session) {
  std::wstring out = request_line(verb, url, cseq);
  append_line(out, L"Session: ", std::to_wstring(session));
  append_line(out, kAgentMobile);
  out.append(kCrLf);
  return out;
}

std::wstring play_tcp_request(std::wstring_view url, std::uint32_t session, std::wstring_view ip,
                              int port) {
  std::wstring out = request_line(L"PLAY", url, 4);
  append_line(out, L"Session: ", std::to_wstring(session));
  out.append(L"Transport: ip=");
  out.append(ip);
  out.append(L"; port=");
  out.append(std::to_wstring(port));
  append_line(out, L"; protocol=tcp");
  append_line(out, kAgentDesktop);
  out.append(kCrLf);
  return out;
}

std::wstring set_parameter_request(std::wstring_view url, const std::wstring* body,
                                   std::size_t content_length) {
  std::wstring out = request_line(L"SET_PARAMETER", url, 6);
  if (body) append_line(out, L"Content-Length: ", std::to_wstring(content_length));
  append_line(out, L"Content-Type: text/parameters");
  append_line(out, kAgentMobile);
  out.append(kCrLf);
  if (body) out.append(*body);
  return out;
}

bool HeaderCollector::push(char c) {
  if (complete_) return true;
  if (size_ >= buf_.size()) {
    complete_ = true;
    return true;
  }
  buf_[size_++] = c;
  if (size_ >= 4 && std::memcmp(&buf_[size_ - 4], "\r\n\r\n", 4) == 0) {
    blank_line_ = true;
    complete_ = true;
  } else if (size_ == buf_.size()) {
    complete_ = true;
  }
  return complete_;
}

int status_code(std::string_view header) {
  if (header.size() <= 9) return 0;
  std::string_view code = header.substr(9, 3);
  std::size_t i = 0;
  while (i < code.size() && (code[i] == ' ' || (code[i] >= '\t' && code[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < code.size() && (code[i] == '+' || code[i] == '-')) negative = code[i++] == '-';
  int value = 0;
  for (; i < code.size() && code[i] >= '0' && code[i] <= '9'; ++i)
    value = value * 10 + (code[i] - '0');
  return negative ? -value : value;
}

std::optional<std::wstring_view> field_value(std::wstring_view header, std::wstring_view name) {
  std::wstring key(name);
  if (name != L"RTSP/1.0") key.push_back(L':');
  const std::size_t at = header.find(key);
  if (at == std::wstring_view::npos) return std::nullopt;
  const std::size_t start = at + key.size() + 1;  // the blank after the key is skipped
  if (start >= header.size()) return std::wstring_view{};
  std::size_t end = header.find(kCrLf, start);
  if (end == std::wstring_view::npos) end = header.size();
  return header.substr(start, end - start);
}

int next_line(std::string_view header, int& cursor, char* dst, int size) {
  if (!dst || size <= 0) return -1;
  if (cursor < 0 || static_cast<std::size_t>(cursor) >= header.size()) {
    cursor = 0;
    return -1;
  }
  std::string_view rest = header.substr(static_cast<std::size_t>(cursor));
  std::size_t n = rest.find('\n');
  n = n == std::string_view::npos ? rest.size() : n + 1;
  n = std::min(n, static_cast<std::size_t>(size));
  std::memcpy(dst, rest.data(), n);
  cursor += static_cast<int>(n);
  return static_cast<int>(n);
}

}  // namespace tarvic
