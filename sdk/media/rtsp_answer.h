// Reading the device's RTSP answers: the header's end, the status, header
// fields and their "name=value" parameters, and the two PLAY answers (TCP:
// Transport and RTP-Info fields; UDP: the datagram's text). No I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmo::media {

// Longest answer header kept, as the RTSP socket keeps it.
inline constexpr std::size_t kMaxAnswerHeader = 1024;

// Offset just past the blank line that ends a header, or nullopt.
std::optional<std::size_t> answer_header_end(std::string_view text);
// Status code of "RTSP/1.0 200 OK" (the three characters at offset 9), or -1.
int answer_status(std::string_view header);
// Value of "name:" (first occurrence, case-sensitive): from the second
// character after the colon to the end of the line; nullopt when absent.
std::optional<std::string_view> answer_field(std::string_view header, std::string_view name);
// Text after "name=" up to the next ';' or the end; nullopt when absent.
std::optional<std::string_view> answer_param(std::string_view field, std::string_view name);
// Decimal digits after optional blanks, stopping at the first other
// character; nullopt without digits. Values wrap to 32 bits like the device's.
std::optional<std::uint32_t> decimal(std::string_view text);

struct PlayAnswer {
  std::string device_ip;  // UDP only; not used for the stream
  std::uint16_t stream_port = 0;
  std::uint32_t magic = 0;
  std::uint32_t stream_session = 0;
};

// The TCP PLAY answer header: status 200, Transport "port" (1-65535),
// RTP-Info "magic" and "session-id" (0 when the parameter is absent).
std::optional<PlayAnswer> parse_tcp_play_answer(std::string_view header);
// A UDP answer datagram: "ip=" up to the first ';', the port seven characters
// after that ';' (after "; port="), "magic=" and "session-id=".
std::optional<PlayAnswer> parse_udp_play_answer(std::string_view text);

}  // namespace velmo::media
