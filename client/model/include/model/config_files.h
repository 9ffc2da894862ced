// "ChannelCfg.dat" (server table) and "ClientCfg.dat" (client settings and plan).
// One value per line; every line ends with CR CR LF on disk.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "model/records.h"
#include "model/settings.h"

namespace model {

inline constexpr const char* kChannelFileName = "ChannelCfg.dat";
inline constexpr const char* kClientFileName = "ClientCfg.dat";
// Added to every unit of a device password in the channel file.
inline constexpr char16_t kDevicePasswordConstant = 37;
inline constexpr std::size_t kDevicePasswordMax = 6;

// Whole-file images, for the writers, the readers and the fuzz targets.
std::string format_channel_cfg(const ServerTable& table);
// Stores every record of the image into the table; records that point outside
// the table are skipped whole. Values after the last complete line stay as they were.
void parse_channel_cfg(std::string_view bytes, ServerTable& table);
std::string format_client_cfg(const ClientSettings& settings);
void parse_client_cfg(std::string_view bytes, ClientSettings& settings);

// Reads "ChannelCfg.dat" of the folder into the table and empties the play list.
// A missing file is created empty; false then.
bool read_channel_cfg(const std::filesystem::path& folder, ServerTable& table, PlayList& play_list);
// Replaces the file atomically; false (and the old file kept) on failure.
bool write_channel_cfg(const std::filesystem::path& folder, const ServerTable& table);
bool read_client_cfg(const std::filesystem::path& folder, ClientSettings& settings);
bool write_client_cfg(const std::filesystem::path& folder, const ClientSettings& settings);

// Leading decimal number of a line the way the readers take it ("12abc" -> 12,
// "x" -> 0), saturated to 32 bits.
std::int32_t line_number(std::string_view line);

}  // namespace model
