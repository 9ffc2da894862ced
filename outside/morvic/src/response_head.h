// HTTP/1.x response heads and GET requests as pure text: no I/O, so the
// framing rules are tested and fuzzed apart from the socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvic {

// A head (status line, fields, blank line) longer than this is refused: a server
// cannot make the client buffer without bound.
inline constexpr std::size_t kMaxHeadBytes = 16 * 1024;

// Length of the head at the start of buf, blank line included, or 0 while the
// blank line has not arrived. Lines may end in CRLF or a bare LF. Scanning
// resumes at `from` (bytes already searched), so feeding a growing buffer
// costs linear time.
std::size_t find_head_end(std::string_view buf, std::size_t from = 0);

struct ResponseHead {
  int major = 1;
  int minor = 1;
  int status = 0;
  std::string reason;
  // Field names as sent; values without surrounding blanks, folded lines joined.
  std::vector<std::pair<std::string, std::string>> fields;
  std::optional<std::uint64_t> content_length;
  bool transfer_encoding = false;  // body framed some other way than by length
  bool close = false;              // the server ends the connection after this body

  // First field of that name, compared without regard to ASCII case.
  const std::string* field(std::string_view name) const;
  // Bytes of body that follow this head: a count, or nullopt when the body
  // runs until the server closes.
  std::optional<std::uint64_t> body_length() const;
};

// Parses one complete head (as delimited by find_head_end). nullopt for
// anything that is not a well-formed HTTP/1.x response head, including
// contradictory framing (two different Content-Length values, or a length
// together with a transfer coding).
std::optional<ResponseHead> parse_response_head(std::string_view head);

// "GET <object> HTTP/1.1" with Host and keep-alive fields. The object goes on
// the wire exactly as given (no percent-encoding); nullopt when host or object
// is empty or either holds a control character, which would break the framing.
// port 0 or 80 leaves the port out of the Host field.
std::optional<std::string> format_get_request(std::string_view host, std::string_view object,
                                              int port);

}  // namespace morvic
