// Request heads, raw queries and fleet files from arbitrary bytes: the parsers
// must never crash, read out of bounds or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "faults.h"
#include "fleet.h"
#include "http_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  if (auto end = orvsim::find_head_end(text)) {
    orvsim::HttpRequest request;
    if (orvsim::parse_request_head(text.substr(0, *end), request) == orvsim::HeadError::none) {
      (void)request.keep_alive();
      (void)orvsim::request_body_length(request);
      auto params = orvsim::parse_query(request.query);
      (void)params.get("i2c");
    }
  }
  auto fleet = orvsim::parse_fleet(text);
  if (fleet.ok()) (void)orvsim::fleet_summary(*fleet.fleet);

  // The element edits on a reply-like text, with a name taken from the input.
  std::string_view name = text.substr(0, size % 8);
  (void)orvsim::remove_element(text, name.empty() ? "IP" : name);
  (void)orvsim::replace_element_text(text, name.empty() ? "IP" : name, "x");
  return 0;
}
