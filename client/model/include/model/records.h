// The client's server table, channel records and play list.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace model {

inline constexpr int kMaxServers = 128;
inline constexpr int kChannelsPerServer = 16;
inline constexpr int kPlayListSize = 512;
// Channels a logged-in device brings.
inline constexpr int kDeviceChannels = 6;

struct ChannelRecord {
  std::u16string name;
  std::u16string address;
  std::int32_t address_extra = 0;
  std::int32_t channel_index = -1;  // -1: unused, ends the server's channel list
  std::int32_t enabled = 0;
  std::int32_t state = 0;
  std::u16string user_name;
  std::u16string user_password;
  std::int32_t login_handle = -1;
  std::u16string text;
  std::int32_t extra = 0;
  std::int32_t flag = 0;
  std::uint16_t port = 80;
  std::uint16_t auxiliary = 0;
  std::int32_t listed = 0;
  std::int32_t server_index = -1;
  std::int32_t channel_number = -1;
  std::int32_t play_list_position = -1;
  std::array<std::int32_t, 6> run_time{};  // not stored
  // Compression settings, sent before every live start.
  std::int32_t video_format_index = 0;
  std::int32_t stream_type_index = 0;
  std::int32_t frame_rate_index = 0;
  std::int32_t video_type_index = 0;
  std::int32_t bit_rate_index = 0;
  // RS-485 PTZ line settings.
  std::int32_t ptz_channel = 0;
  std::int32_t baud_rate_index = 0;
  std::int32_t data_bits_index = 0;
  std::int32_t stop_bits_index = 0;
  std::int32_t parity_index = 0;
  std::int32_t flow_control_index = 0;
  std::int32_t decoder_type_index = 0;
  std::int32_t decoder_address = 0;

  bool operator==(const ChannelRecord&) const = default;
};

struct ServerRecord {
  std::u16string name;
  std::u16string address;
  std::int32_t address_extra = 0;
  std::u16string second_address;
  std::int32_t second_address_extra = 0;
  std::u16string user_name;
  std::u16string user_password;
  std::int32_t login_handle = -1;
  std::int32_t state = 0;
  std::int32_t channel_count = -1;  // -1: unused, ends every scan of the table
  std::uint16_t port = 80;
  std::uint16_t logged_in = 0;
  std::u16string device_id_copy;
  std::int32_t flag1 = 0;
  std::int32_t flag2 = 0;
  std::int32_t flag3 = 0;
  std::array<std::int32_t, 16> reserved{};
  std::u16string display_name;
  std::u16string auth_address;
  std::int32_t auth_extra = 0;
  std::int32_t auth_port = 0;
  std::u16string device_id;
  std::u16string allowed_caller;
  std::u16string phone;
  std::u16string device_password;
  std::int32_t switch1 = 0;
  std::int32_t switch2 = 0;
  std::int32_t switch3 = 0;
  std::array<ChannelRecord, kChannelsPerServer> channels{};

  bool used() const { return channel_count >= 0; }
  bool operator==(const ServerRecord&) const = default;
};

struct ServerTable {
  std::array<ServerRecord, kMaxServers> servers{};

  // Number of used records: the used ones form a prefix.
  int used_count() const;
  // First unused index, or -1 when all 128 are used.
  int first_unused() const;
};

struct PlayList {
  std::array<ChannelRecord, kPlayListSize> entries{};
  int count = 0;
};

// The state every record has at start-up, before the channel file is read.
void reset_channel(ChannelRecord& channel);
void reset_server(ServerRecord& server);
void reset_table(ServerTable& table);

// Channel defaults of a freshly added or logged-in device channel.
void fill_default_channel(ChannelRecord& channel, const ServerRecord& server, int server_index,
                          int channel_index);

// "通道%d" with the 0-based channel index.
std::u16string default_channel_name(int channel_index);
// A channel's name as shown: the default name ("通道3", stored as it is) in the
// operator's language, any name the operator gave unchanged.
std::u16string shown_channel_name(std::u16string_view name, int channel_index);

// Format, frame-rate and bit-rate tables the compression indexes point into.
// Out-of-range indexes (a damaged file) fall back to the defaults.
int video_format_value(int index);
int frame_rate_value(int index);
int bit_rate_value(int index);

// Decimal text of a number as UTF-16 (the client shows and stores UTF-16).
std::u16string u16_number(long long value);

}  // namespace model
