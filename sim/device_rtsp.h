// The device's side of the RTSP dialogue and of the media framing, as pure
// code on buffers: reading the client's requests (TCP stream or one UDP
// datagram), the session URL and Transport line, the PTZ body of a
// SET_PARAMETER, the answers the device sends, the 8-byte heart beats, the
// 24-byte frame header and the 12-byte UDP slice header.
//
// Written from the wire description alone; nothing here is shared with the
// client libraries, so a mistake on either side shows up as a failing test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvsim {

// Limits on what a device accepts from a client.
inline constexpr std::size_t kMaxRtspHead = 4096;
inline constexpr std::size_t kMaxRtspBody = 16384;

struct RtspRequest {
  std::string head;  // request line and fields as received, with the blank line
  std::string method;
  std::string url;
  std::string version;
  std::vector<std::pair<std::string, std::string>> fields;  // values without outer blanks
  std::string body;

  // First field with that name, compared without regard to case.
  const std::string* field(std::string_view name) const;
  // The CSeq value; -1 when absent or not a number.
  int cseq() const;
  // The whole request, head and body.
  std::string text() const { return head + body; }
};

enum class RtspParse { complete, incomplete, bad };

struct RtspParseResult {
  RtspParse status = RtspParse::incomplete;
  RtspRequest request;       // when complete
  std::size_t consumed = 0;  // bytes of the buffer the request used
  std::string error;         // when bad
};

// The first request at the front of a byte stream. Lines end in CRLF or LF;
// the body length comes from Content-Length (none: no body). A head longer
// than kMaxRtspHead or a body longer than kMaxRtspBody is bad.
RtspParseResult parse_rtsp_request(std::string_view buffer);

// "rtsp://host:port/<random>-<session>.264": the random value is everything
// before the last '-' of the last path element.
struct SessionUrl {
  std::string host;
  int port = 0;
  std::string random;
  std::uint32_t session = 0;
};
std::optional<SessionUrl> parse_session_url(std::string_view url);

// "ip=a.b.c.d; port=n; protocol=tcp|udp" in any order; the ip may be empty
// (a client socket that is not bound yet).
struct TransportSpec {
  std::string ip;
  int port = -1;
  std::string protocol;
};
std::optional<TransportSpec> parse_transport(std::string_view value);

// "command: ptz-control\r\nchan: n\r\nlength: n\r\ncontent: <hex>". The body is
// kept whatever it holds; `valid` says whether it had that form, the length
// matched the content and the content was hexadecimal text.
struct PtzBody {
  bool valid = false;
  std::string command;
  int chan = -1;
  int length = -1;
  std::string content;
  std::vector<std::uint8_t> bytes;  // the content read as hex pairs, when valid
};
PtzBody parse_ptz_body(std::string_view body);

// Answers. `cseq` < 0 leaves the CSeq line out.
std::string rtsp_status_answer(int cseq, int status, std::optional<std::uint32_t> session = {});
// The PLAY answer: Transport with the device's stream address and port, and
// RTP-Info with the magic of the stream and the stream's session id. The
// Transport line comes before any other ';' and any other "ip=".
struct PlayAnswer {
  int cseq = -1;
  std::optional<std::uint32_t> session;  // Session line (TCP)
  std::string ip;
  int port = 0;
  bool udp = false;
  std::uint32_t magic = 0;
  std::uint32_t stream_session = 0;
};
std::string rtsp_play_answer(const PlayAnswer& answer);

std::string_view rtsp_reason(int status);

// Heart beats: type word and a 32-bit session value, both big-endian.
struct HeartBeatFrame {
  bool back = false;
  std::uint32_t session = 0;
};
std::optional<HeartBeatFrame> read_heart_beat(std::span<const std::uint8_t> data);
std::vector<std::uint8_t> heart_beat_bytes(bool back, std::uint32_t session);

// The rendezvous registration (40 bytes) and the peer-address answer (12 bytes).
std::optional<std::vector<std::uint8_t>> register_bytes(std::uint32_t session,
                                                        std::string_view random);
struct PeerAddress {
  std::uint32_t ip = 0;  // host order
  std::uint16_t port = 0;
};
std::optional<PeerAddress> read_peer_addr(std::span<const std::uint8_t> data);

// Frame header (host byte order): 0 carried, 4 number, 8 signature, 12 type |
// fps << 2, 16 first length, 20 second length.
inline constexpr std::uint32_t kFrameSignature = 0x12345678;
inline constexpr std::size_t kFrameHeaderBytes = 24;
// The largest frame a client takes: 128 KiB with its header.
inline constexpr std::size_t kMaxFrameBytes = 128 * 1024;

struct FrameFields {
  std::uint32_t number = 0;
  std::uint32_t signature = 0;
  std::uint32_t type = 0;  // bits 0-1
  std::uint32_t fps = 0;   // bits 2-31
  std::uint32_t first = 0;
  std::uint32_t second = 0;
};
std::optional<FrameFields> read_frame_header(std::span<const std::uint8_t> data);
void put_u32_host(std::uint8_t* at, std::uint32_t value);

// UDP slices: 12-byte big-endian header (magic, frame number, slice count,
// slice index) and at most 1024 data bytes; slice i holds bytes i*1024.. of
// the frame.
inline constexpr std::size_t kSliceHeaderBytes = 12;
inline constexpr std::size_t kSliceDataBytes = 1024;

struct SliceFields {
  std::uint32_t magic = 0;
  std::uint32_t frame = 0;
  std::uint16_t count = 0;
  std::uint16_t index = 0;
};
std::optional<SliceFields> read_slice_header(std::span<const std::uint8_t> data);
// Every slice of one frame, in index order.
std::vector<std::vector<std::uint8_t>> slice_frame(std::span<const std::uint8_t> frame,
                                                   std::uint32_t magic, std::uint32_t number);

}  // namespace orvsim
