// What a simulated device reads from a client: RTSP requests arriving in any
// pieces, session URLs, Transport lines, PTZ bodies, heart beats and slices.
// The parsers must never crash, read out of bounds or hang, and a stream cut
// at any byte must give the same requests as the whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device_rtsp.h"

namespace {

std::vector<std::string> requests_of(std::string_view stream) {
  std::vector<std::string> out;
  while (!stream.empty()) {
    auto r = orvsim::parse_rtsp_request(stream);
    if (r.status != orvsim::RtspParse::complete) break;
    out.push_back(r.request.text());
    stream.remove_prefix(r.consumed);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto whole = requests_of(text);
  for (const auto& req : whole) {
    auto r = orvsim::parse_rtsp_request(req);
    if (r.status != orvsim::RtspParse::complete) std::abort();
    (void)r.request.cseq();
    if (auto url = orvsim::parse_session_url(r.request.url)) (void)url->random.size();
    if (const std::string* t = r.request.field("Transport")) (void)orvsim::parse_transport(*t);
    (void)orvsim::parse_ptz_body(r.request.body);
  }
  // The same bytes fed as a device's control loop gets them: cut in two.
  if (size > 1) {
    const std::size_t cut = data[0] % size;
    std::string buffer(text.substr(0, cut));
    std::vector<std::string> got;
    auto drain = [&] {
      for (;;) {
        auto r = orvsim::parse_rtsp_request(buffer);
        if (r.status != orvsim::RtspParse::complete) return r.status;
        got.push_back(r.request.text());
        buffer.erase(0, r.consumed);
      }
    };
    if (drain() != orvsim::RtspParse::bad) {
      buffer.append(text.substr(cut));
      drain();
      // Requests complete in the first part are the whole stream's first requests.
      for (std::size_t i = 0; i < got.size() && i < whole.size(); ++i)
        if (got[i] != whole[i]) std::abort();
    }
  }
  std::span<const std::uint8_t> bytes(data, size);
  (void)orvsim::read_heart_beat(bytes);
  (void)orvsim::read_peer_addr(bytes);
  (void)orvsim::read_slice_header(bytes);
  (void)orvsim::read_frame_header(bytes);
  (void)orvsim::parse_ptz_body(text);
  (void)orvsim::parse_transport(text);
  (void)orvsim::parse_session_url(text);
  return 0;
}
