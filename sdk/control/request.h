// Request texts of the control plane: URLs, queries and the values that go
// into them. Pure functions on text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmo {

// Values go into request URLs as they are (the servers expect them so), so a
// character that would end the request line or start a header line must
// never reach the wire: C0 controls (CR, LF, NUL...), space and DEL.
bool url_text_safe(std::wstring_view text);

// "http://%s:%d/%s": server, port, action word directly followed by the query.
std::wstring format_url(std::wstring_view server, int port, std::wstring_view action_query);
// "http://%s:%d/query?i2c=%s&tel=%s".
std::wstring auth_url(std::wstring_view server, int port, std::wstring_view i2c,
                      std::wstring_view tel);

struct UrlParts {
  std::wstring host;
  int port = 0;
  std::wstring object;  // path with query, starting with '/'
};
// Splits "http://host:port/object"; nullopt for anything else.
std::optional<UrlParts> split_url(std::wstring_view url);

// Decimal "Content-Length" value; nullopt when empty, signed or not a number.
std::optional<std::int64_t> parse_content_length(std::wstring_view field);

// 8-bit text (code page 936) into wide text, and back.
std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

const wchar_t* resolution_text(int resolution);

// Values of one negotiation request.
struct NegotiationQuery {
  std::wstring i2c;
  std::wstring tel;
  std::wstring wan_ip;
  std::wstring lan_ip;
  int listen_port = 0;
  int drift_range = 0;
  int channel = -1;  // negative: no "channel" key
  int p2p_overtime = 0;
  int p2p_repeat = 0;
  bool p2p_open = true;
  int resolution = 0;
  int image_type = 1;
  int frame_rate = 10;
  int bit_rate = 0;
  std::optional<std::wstring> passwd;  // absent: no "passwd" key
  bool with_bit_rate = true;
};
// The query (without the action word) with its keys in their fixed order.
std::wstring negotiation_query(const NegotiationQuery& q);

// The largest audio block: it travels in a 1024-byte buffer with its zero.
inline constexpr std::size_t kMaxAudioBlock = 1023;

// The audio "data_buf" value: every 16-bit little-endian unit of the block
// (an odd last byte pairs with a zero byte) as one character, where a zero
// unit becomes "%00" and '%', '&', '#', '+' become "%25", "%26", "%23", "%2B".
// Any other unit, controls and blanks included, is the character itself;
// CMorvic escapes what the request line cannot hold. nullopt for a block
// longer than kMaxAudioBlock.
std::optional<std::wstring> audio_data_chars(std::span<const char> block);

}  // namespace velmo
