#include "media/rtsp_answer.h"

namespace velmo::media {

std::optional<std::size_t> answer_header_end(std::string_view text) {
  const auto p = text.find("\r\n\r\n");
  if (p == std::string_view::npos) return std::nullopt;
  return p + 4;
}

int answer_status(std::string_view header) {
  if (header.size() < 12) return -1;
  int v = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    const char c = header[i];
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::optional<std::string_view> answer_field(std::string_view header, std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::size_t from = 0;
  for (;;) {
    const auto p = header.find(name, from);
    if (p == std::string_view::npos) return std::nullopt;
    const std::size_t colon = p + name.size();
    if (colon < header.size() && header[colon] == ':') {
      std::size_t start = colon + 2;
      if (start > header.size()) start = header.size();
      const auto end = header.find("\r\n", start);
      return header.substr(start,
                           end == std::string_view::npos ? std::string_view::npos : end - start);
    }
    from = p + 1;
  }
}

std::optional<std::string_view> answer_param(std::string_view field, std::string_view name) {
  if (name.empty()) return std::nullopt;
  std::string key(name);
  key += '=';
  const auto p = field.find(key);
  if (p == std::string_view::npos) return std::nullopt;
  const std::size_t start = p + key.size();
  const auto end = field.find(';', start);
  return field.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::optional<std::uint32_t> decimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::uint32_t v = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10u + static_cast<std::uint32_t>(text[i] - '0');
    any = true;
  }
  if (!any) return std::nullopt;
  return v;
}

namespace {

std::optional<std::uint16_t> port_value(std::optional<std::uint32_t> v) {
  if (!v || *v == 0 || *v > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(*v);
}

}  // namespace

std::optional<PlayAnswer> parse_tcp_play_answer(std::string_view header) {
  if (answer_status(header) != 200) return std::nullopt;
  const auto transport = answer_field(header, "Transport");
  const auto info = answer_field(header, "RTP-Info");
  if (!transport || !info) return std::nullopt;
  const auto port_text = answer_param(*transport, "port");
  if (!port_text) return std::nullopt;
  const auto port = port_value(decimal(*port_text));
  if (!port) return std::nullopt;
  PlayAnswer a;
  a.stream_port = *port;
  if (const auto m = answer_param(*info, "magic")) a.magic = decimal(*m).value_or(0);
  if (const auto s = answer_param(*info, "session-id")) a.stream_session = decimal(*s).value_or(0);
  return a;
}

std::optional<PlayAnswer> parse_udp_play_answer(std::string_view text) {
  const auto ip = text.find("ip=");
  if (ip == std::string_view::npos) return std::nullopt;
  const auto semi = text.find(';', ip);
  if (semi == std::string_view::npos || semi + 7 > text.size()) return std::nullopt;
  const auto port = port_value(decimal(text.substr(semi + 7)));
  const auto m = text.find("magic=");
  const auto s = text.find("session-id=");
  if (!port || m == std::string_view::npos || s == std::string_view::npos) return std::nullopt;
  const auto magic = decimal(text.substr(m + 6));
  const auto session = decimal(text.substr(s + 11));
  if (!magic || !session) return std::nullopt;
  PlayAnswer a;
  a.device_ip = std::string(text.substr(ip + 3, semi - ip - 3));
  a.stream_port = *port;
  a.magic = *magic;
  a.stream_session = *session;
  return a;
}

}  // namespace velmo::media
