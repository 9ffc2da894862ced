// The response-head reader on arbitrary bytes, split at every boundary the
// way receives could cut it, plus request formatting of arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "response_head.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2 * morvic::kMaxHeadBytes) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t end = morvic::find_head_end(text);
  check(end <= size);

  // A scan resumed after any split finds the same end.
  if (size <= 512) {
    for (std::size_t cut = 0; cut <= size; ++cut) {
      std::size_t e = morvic::find_head_end(text.substr(0, cut));
      if (e == 0) e = morvic::find_head_end(text, cut);
      check(e == end);
    }
  }

  if (end != 0) {
    if (auto head = morvic::parse_response_head(text.substr(0, end))) {
      check(head->status >= 100 && head->status <= 999);
      head->field("Content-Length");
      head->body_length();
      for (const auto& [name, value] : head->fields) check(head->field(name) != nullptr);
    }
  }
  morvic::parse_response_head(text);

  const std::size_t half = size / 2;
  if (auto request = morvic::format_get_request(text.substr(0, half), text.substr(half), 8080)) {
    // Exactly one blank line, at the end: nothing can be smuggled in.
    check(morvic::find_head_end(*request) == request->size());
  }
  return 0;
}
