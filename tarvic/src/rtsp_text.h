// RTSP request texts and response-header parsing as pure functions on buffers:
// no sockets here, so every rule is unit tested and fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvic {

// Requests and response headers both live in 1024-byte buffers.
inline constexpr std::size_t kBufferSize = 1024;

inline constexpr std::wstring_view kAgentMobile =
    L"User-Agent:Mozilla/4.0 (compatible; MSIE 6.00; Windows Mobile 6)";
inline constexpr std::wstring_view kAgentDesktop =
    L"User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";

// "<verb> url RTSP/1.0", CSeq, Session and the mobile user agent (PLAY 4,
// PAUSE 5, TEARDOWN 7).
std::wstring session_request(std::wstring_view verb, int cseq, std::wstring_view url,
                             std::uint32_t session);
// PLAY that announces where the device should connect for media over TCP.
std::wstring play_tcp_request(std::wstring_view url, std::uint32_t session, std::wstring_view ip,
                              int port);
// SET_PARAMETER; without a body there is no Content-Length line and no body.
// content_length is the body's size on the wire (bytes after conversion).
std::wstring set_parameter_request(std::wstring_view url, const std::wstring* body,
                                   std::size_t content_length);

// Collects a response header one byte at a time into a caller's buffer. It is
// complete after the blank line (CR LF CR LF) or when the buffer (at most
// kBufferSize bytes) is full; the rest stays on the connection.
class HeaderCollector {
 public:
  explicit HeaderCollector(std::span<char> buffer)
      : buf_(buffer.first(buffer.size() < kBufferSize ? buffer.size() : kBufferSize)) {}
  // Stores one byte; true once the header is complete (further bytes are refused).
  bool push(char c);
  bool complete() const { return complete_; }
  std::size_t size() const { return size_; }
  // True when the header ended by size instead of by its blank line.
  bool cut() const { return complete_ && !blank_line_; }

 private:
  std::span<char> buf_;
  std::size_t size_ = 0;
  bool complete_ = false;
  bool blank_line_ = false;
};

// The three characters at offsets 9-11 read as a decimal number the way atoi
// reads them (leading blanks and sign, digits up to the first other character;
// 0 when none): the code of a status line such as "RTSP/1.0 200 OK".
int status_code(std::string_view header);

// Value of the first "name:" in header (or of the status line for the name
// "RTSP/1.0", searched without colon): from the second character after the key
// up to the CR LF that ends its line, or to the end. nullopt when absent.
std::optional<std::wstring_view> field_value(std::wstring_view header, std::wstring_view name);

// Copies from cursor up to and including the next '\n', at most size bytes and
// never past the header; advances cursor and returns the count (no terminator).
// At or past the end the cursor returns to 0 and the result is -1.
int next_line(std::string_view header, int& cursor, char* dst, int size);

}  // namespace tarvic
