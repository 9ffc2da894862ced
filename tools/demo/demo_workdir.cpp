#include "demo_workdir.h"

#include <cstdio>

#include "model/config_files.h"
#include "model/records.h"
#include "model/settings.h"
#include "model/users.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/text.h"

namespace demo {
namespace {

std::u16string u16(const std::string& s) {
  return platform::u16_from_utf8(s);
}

void add_server(model::ServerTable& table, int index, const std::u16string& name,
                const std::u16string& id, const std::u16string& phone,
                const std::u16string& password, int channels, const DemoOptions& o, int& position) {
  model::ServerRecord& s = table.servers[static_cast<std::size_t>(index)];
  model::reset_server(s);
  s.name = name;
  s.display_name = name;
  s.address = id;
  s.second_address = u"0.0.0.0";
  s.user_name = u"admin";
  s.user_password = u"abc";
  s.channel_count = model::kDeviceChannels;
  s.auth_address = u16(o.auth_address);
  s.auth_port = o.auth_port;
  s.device_id = id;
  s.device_id_copy = id;
  s.allowed_caller = u"0123456789";
  s.phone = phone;
  s.device_password = password;
  for (int k = 0; k < channels && k < model::kDeviceChannels; ++k) {
    model::ChannelRecord& c = s.channels[static_cast<std::size_t>(k)];
    model::fill_default_channel(c, s, index, k);
    c.listed = 1;
    c.play_list_position = position++;
  }
}

}  // namespace

bool write_demo_workdir(const orvsim::Fleet& fleet, const DemoOptions& o,
                        const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  model::ServerTable table;
  model::reset_table(table);
  int index = 0;
  int position = 0;
  for (const orvsim::SimDevice& d : fleet.devices) {
    if (index >= model::kMaxServers) break;
    // Left for the operator to add by hand.
    if (auto stored = d.settings.find("stored");
        stored != d.settings.end() && stored->second == "no")
      continue;
    auto name = d.settings.find("name");
    const std::string password = d.password == "-" ? std::string() : d.password;
    add_server(table, index++, u16(name != d.settings.end() ? name->second : d.i2c), u16(d.i2c),
               u16(d.tel), u16(password), static_cast<int>(d.channels.size()), o, position);
  }
  if (!model::write_channel_cfg(folder, table)) {
    std::fprintf(stderr, "cannot write %s\n", (folder / model::kChannelFileName).c_str());
    return false;
  }
  if (!platform::write_owner_only(folder / model::kUserFlagFileName, model::encode_flag(0))) {
    std::fprintf(stderr, "cannot write %s\n", (folder / model::kUserFlagFileName).c_str());
    return false;
  }
  if (o.cycle_seconds > 0) {
    // The drive range of the defaults is the one the client would start with.
    model::ClientSettings settings =
        model::default_settings(static_cast<int>(platform::recording_drives().size()));
    settings.cycle_play = 1;
    settings.cycle_time = o.cycle_seconds;
    if (!model::write_client_cfg(folder, settings)) {
      std::fprintf(stderr, "cannot write %s\n", (folder / model::kClientFileName).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace demo
