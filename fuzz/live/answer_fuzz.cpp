// The RTSP answer readers and the settings files on any text: results stay
// inside the text and the readers agree with themselves on a header cut where
// its blank line ends.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "media/advanced_cfg.h"
#include "media/rtsp_answer.h"

using namespace velmo::media;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto end = answer_header_end(text)) {
    if (*end > size) std::abort();
    const auto a = parse_tcp_play_answer(text.substr(0, *end));
    if (a && a->stream_port == 0) std::abort();
  }
  if (const auto a = parse_tcp_play_answer(text); a && answer_status(text) != 200) std::abort();
  if (const auto a = parse_udp_play_answer(text); a && a->stream_port == 0) std::abort();
  for (const char* name : {"Transport", "RTP-Info", "RTSP/1.0", "CSeq"}) {
    if (const auto f = answer_field(text, name)) {
      if (f->data() < text.data() || f->data() + f->size() > text.data() + text.size())
        std::abort();
      answer_param(*f, "port");
    }
  }
  UdpSettings u;
  apply_udp_settings(text, u);
  TcpSettings t;
  apply_tcp_settings(text, t);
  if (u.rtcp_timeout < 0 || t.connect_timeout < 0) std::abort();
  return 0;
}
