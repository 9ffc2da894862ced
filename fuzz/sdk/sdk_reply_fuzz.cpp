// Every reader of a server reply on the same bytes; the negotiation reply also
// goes through the per-type target checks of a channel.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "control/negotiate.h"
#include "control/reply.h"
#include "control/request.h"
#include "frame/user_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static velmo::UserInfo user;
  (void)velmo::read_auth_reply(text);
  const auto reply = velmo::read_negotiation_reply(text);
  if (reply.info) (void)velmo::target_from_info(*reply.info, user.channel(2));
  (void)velmo::read_alarm_cfg(text);
  (void)velmo::read_rs485_cfg(text);
  (void)velmo::read_tdnet_cfg(text);
  (void)velmo::read_security_cfg(text);
  (void)velmo::read_gps_data(text);
  (void)velmo::parse_number(text);
  const std::wstring wide = velmo::wide(text);
  (void)velmo::split_url(wide);
  (void)velmo::parse_content_length(wide);
  (void)velmo::url_text_safe(wide);
  (void)velmo::audio_data_chars(text);
  return 0;
}
