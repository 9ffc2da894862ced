#include "model/records.h"

#include "model/i18n.h"

namespace model {

int ServerTable::used_count() const {
  int n = 0;
  while (n < kMaxServers && servers[n].used()) ++n;
  return n;
}

int ServerTable::first_unused() const {
  const int n = used_count();
  return n < kMaxServers ? n : -1;
}

void reset_channel(ChannelRecord& channel) {
  channel = ChannelRecord{};
  channel.channel_index = -1;
  channel.login_handle = -1;
  channel.server_index = -1;
  channel.channel_number = -1;
  channel.port = 80;
  channel.listed = 0;
  channel.play_list_position = -1;
}

void reset_server(ServerRecord& server) {
  server = ServerRecord{};
  server.login_handle = -1;
  server.channel_count = -1;
  server.port = 80;
  server.reserved.fill(-1);
  for (auto& c : server.channels) reset_channel(c);
}

void reset_table(ServerTable& table) {
  for (auto& s : table.servers) reset_server(s);
}

std::u16string u16_number(long long value) {
  const std::string s = std::to_string(value);
  return std::u16string(s.begin(), s.end());
}

std::u16string default_channel_name(int channel_index) {
  return u"通道" + u16_number(channel_index);  // i18n-skip: stored as the channel's name
}

std::u16string shown_channel_name(std::u16string_view name, int channel_index) {
  if (name != default_channel_name(channel_index)) return std::u16string(name);
  return tx(u"通道%1", {u16_number(channel_index)});
}

void fill_default_channel(ChannelRecord& c, const ServerRecord& server, int server_index,
                          int channel_index) {
  reset_channel(c);
  c.name = default_channel_name(channel_index);
  c.address = server.address;
  c.address_extra = server.address_extra;
  c.channel_index = channel_index;
  c.enabled = 1;
  c.state = 0;
  c.user_name = server.user_name;
  c.user_password = server.user_password;
  c.login_handle = server.login_handle;
  c.text.clear();
  c.extra = 0;
  c.flag = 0;
  c.port = server.port;
  c.auxiliary = 0;
  c.listed = 0;
  c.server_index = server_index;
  c.channel_number = channel_index;
  c.play_list_position = -1;
  c.video_format_index = 1;
  c.stream_type_index = 0;
  c.frame_rate_index = 5;
  c.video_type_index = 0;
  c.bit_rate_index = 3;
  c.ptz_channel = channel_index;
  c.baud_rate_index = 9;
  c.data_bits_index = 3;
  c.stop_bits_index = 0;
  c.parity_index = 0;
  c.flow_control_index = 0;
  c.decoder_type_index = 7;
  c.decoder_address = 0;
}

namespace {
template <std::size_t N>
int pick(const int (&values)[N], int index, int fallback) {
  return index >= 0 && static_cast<std::size_t>(index) < N ? values[index] : values[fallback];
}
}  // namespace

int video_format_value(int index) {
  static const int kValues[] = {0, 1, 1};
  return pick(kValues, index, 1);
}

int frame_rate_value(int index) {
  static const int kValues[] = {1, 3, 5, 10, 15, 20, 25};
  return pick(kValues, index, 5);
}

int bit_rate_value(int index) {
  static const int kValues[] = {32, 64, 96, 128, 160, 192, 224, 512, 1024};
  return pick(kValues, index, 3);
}

}  // namespace model
