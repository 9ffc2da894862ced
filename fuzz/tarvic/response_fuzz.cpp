// Response-header parsing: the header is collected from the input split at a
// boundary the input chooses, must match the unsplit collection, and every
// field, status and line reader must stay inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "rtsp_text.h"

namespace {

std::string collect(std::string_view in, std::size_t split) {
  std::vector<char> buf(tarvic::kBufferSize);
  tarvic::HeaderCollector c(buf);
  // Two reads, as bytes arriving in two pieces.
  for (std::string_view part : {in.substr(0, split), in.substr(split)})
    for (char b : part)
      if (c.push(b)) break;
  if (c.size() > buf.size()) std::abort();
  return std::string(buf.data(), c.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::size_t split = data[0] % (size);
  const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string header = collect(in, split < in.size() ? split : in.size());
  if (header != collect(in, in.size())) std::abort();

  (void)tarvic::status_code(header);
  const std::wstring wide = platform::wide_from_cp936(header);
  for (std::wstring_view name : {L"RTSP/1.0", L"Session", L"CSeq", L"", L"Content-Length"}) {
    if (auto v = tarvic::field_value(wide, name); v && !v->empty()) {
      if (v->data() < wide.data() || v->data() + v->size() > wide.data() + wide.size())
        std::abort();
    }
  }
  char line[64];
  int cursor = 0;
  std::size_t total = 0;
  for (int n; (n = tarvic::next_line(header, cursor, line, sizeof line)) >= 0;) {
    if (n == 0 || n > static_cast<int>(sizeof line)) std::abort();
    total += static_cast<std::size_t>(n);
  }
  if (total != header.size()) std::abort();
  return 0;
}
