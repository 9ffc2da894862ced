#include "control/request.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

#include "platform/text.h"

namespace velmo {

bool url_text_safe(std::wstring_view text) {
  for (wchar_t c : text) {
    if (c <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::wstring format_url(std::wstring_view server, int port, std::wstring_view action_query) {
  std::wstring url = L"http://";
  url += server;
  url += L':';
  url += std::to_wstring(port);
  url += L'/';
  url += action_query;
  return url;
}

std::wstring auth_url(std::wstring_view server, int port, std::wstring_view i2c,
                      std::wstring_view tel) {
  std::wstring q = L"query?i2c=";
  q += i2c;
  q += L"&tel=";
  q += tel;
  return format_url(server, port, q);
}

std::optional<UrlParts> split_url(std::wstring_view url) {
  constexpr std::wstring_view scheme = L"http://";
  if (url.substr(0, scheme.size()) != scheme) return std::nullopt;
  url.remove_prefix(scheme.size());
  const auto slash = url.find(L'/');
  if (slash == std::wstring_view::npos) return std::nullopt;
  const std::wstring_view authority = url.substr(0, slash);
  const auto colon = authority.rfind(L':');
  if (colon == std::wstring_view::npos || colon == 0) return std::nullopt;
  const std::wstring_view host = authority.substr(0, colon);
  const std::wstring_view digits = authority.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  int port = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return std::nullopt;
    port = port * 10 + (c - L'0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  for (wchar_t c : host) {
    if (c <= 0x20 || c == 0x7F || c == L'@' || c == L'/' || c == L':' || c == L'?' || c == L'#')
      return std::nullopt;
  }
  return UrlParts{std::wstring(host), port, std::wstring(url.substr(slash))};
}

std::optional<std::int64_t> parse_content_length(std::wstring_view field) {
  while (!field.empty() && (field.front() == L' ' || field.front() == L'\t'))
    field.remove_prefix(1);
  while (!field.empty() && (field.back() == L' ' || field.back() == L'\t')) field.remove_suffix(1);
  if (field.empty() || field.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (wchar_t c : field) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  return value;
}

std::wstring wide(std::string_view text) {
  return platform::wide_from_cp936(text);
}
std::string narrow(std::wstring_view text) {
  return platform::cp936_from_wide(text);
}

const wchar_t* resolution_text(int resolution) {
  if (resolution <= 0) return L"qcif";
  if (resolution == 1) return L"cif";
  if (resolution == 2) return L"d1";
  return L"";
}

std::wstring negotiation_query(const NegotiationQuery& q) {
  std::wstring s = L"i2c=" + q.i2c + L"&tel=" + q.tel + L"&wan-ip=" + q.wan_ip + L"&lan-ip=" +
                   q.lan_ip + L"&listen-port=" + std::to_wstring(q.listen_port) +
                   L"&p2p-port-drift-range=" + std::to_wstring(q.drift_range);
  if (q.channel >= 0) s += L"&channel=" + std::to_wstring(q.channel);
  if (q.p2p_overtime > 0) s += L"&p2p-overtime=" + std::to_wstring(q.p2p_overtime);
  if (q.p2p_repeat > 0) s += L"&p2p-repeat=" + std::to_wstring(q.p2p_repeat);
  if (!q.p2p_open) s += L"&p2p-open=false";
  s += L"&img-resolution=";
  s += resolution_text(q.resolution);
  s += L"&img-type=" + std::to_wstring(q.image_type);
  s += L"&frame-rate=" + std::to_wstring(q.frame_rate < 0 ? 10 : q.frame_rate);
  if (q.with_bit_rate && q.bit_rate > 0) s += L"&bits-rate=" + std::to_wstring(q.bit_rate);
  if (q.passwd) s += L"&passwd=" + *q.passwd;
  s += L"&transmit=true";
  return s;
}

std::optional<std::wstring> audio_data_chars(std::span<const char> block) {
  if (block.size() > kMaxAudioBlock) return std::nullopt;
  std::wstring chars;
  chars.reserve(block.size());
  for (std::size_t i = 0; i < block.size(); i += 2) {
    // An odd last byte pairs with the block's terminating zero.
    const unsigned lo = static_cast<unsigned char>(block[i]);
    const unsigned hi = i + 1 < block.size() ? static_cast<unsigned char>(block[i + 1]) : 0;
    const auto c = static_cast<wchar_t>(lo | (hi << 8));
    // Only these would be read as something else than the value itself: the
    // request text cannot hold a zero, and the others delimit or escape.
    constexpr std::pair<wchar_t, const wchar_t*> kEscapes[] = {
        {0, L"%00"}, {L'%', L"%25"}, {L'&', L"%26"}, {L'#', L"%23"}, {L'+', L"%2B"}};
    const auto* e = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                 [c](const auto& x) { return x.first == c; });
    if (e != std::end(kEscapes))
      chars += e->second;
    else
      chars += c;
  }
  return chars;
}

}  // namespace velmo
