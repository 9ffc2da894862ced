// The client's file readers on arbitrary bytes: the channel and settings files,
// the administrator, user and flag records. The first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/config_files.h"
#include "model/users.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0: {
      static model::ServerTable table;  // large: kept out of the stack
      model::reset_table(table);
      model::parse_channel_cfg(bytes, table);
      // What was read must write out and read back the same way.
      const std::string again = model::format_channel_cfg(table);
      model::ServerTable second;
      model::reset_table(second);
      model::parse_channel_cfg(again, second);
      if (model::format_channel_cfg(second) != again) __builtin_trap();
      break;
    }
    case 1: {
      model::ClientSettings s = model::default_settings(2);
      model::parse_client_cfg(bytes, s);
      model::format_client_cfg(s);
      break;
    }
    case 2:
      if (auto u = model::decode_user(bytes)) model::encode_user(*u);
      if (auto a = model::decode_admin(bytes)) model::encode_admin(*a);
      break;
    default:
      model::decode_flag(bytes);
      break;
  }
  return 0;
}
