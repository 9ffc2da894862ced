// Client-wide settings and the weekly recording plan.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drives.h"

namespace model {

// One plan segment as the editor shows it and as the recording check compares it.
struct PlanSegment {
  std::uint16_t start_hour = 0;
  std::uint16_t start_minute = 0;
  std::uint16_t end_hour = 0;
  std::uint16_t end_minute = 0;
  std::uint16_t start = 0;  // hour * 100 + minute
  std::uint16_t end = 0;
  bool operator==(const PlanSegment&) const = default;
};

inline constexpr int kPlanDays = 7;
inline constexpr int kSegmentsPerDay = 4;
using PlanDay = std::array<PlanSegment, kSegmentsPerDay>;
// Day records in editor order: 0 = "星期一" ... 6 = "星期天".
using WeeklyPlan = std::array<PlanDay, kPlanDays>;

// Day label of plan record k (0-6).
std::u16string_view plan_day_name(int day);
// Plan record for a weekday counted from Sunday = 0 (as the clock gives it).
int plan_day_for_weekday(int weekday_from_sunday);

struct ClientSettings {
  std::int32_t cycle_time = 20;  // seconds
  std::int32_t cycle_play = 0;
  std::int32_t hardware_decoding = 0;
  std::int32_t pack_minutes = 60;
  std::int32_t auto_record = 0;
  std::int32_t cyclic_record = 0;
  std::int32_t start_drive = 0;
  std::int32_t end_drive = 0;
  std::u16string download_folder = u"C:\\DownLoad";
  std::u16string snapshot_folder = u"C:\\Picture";
  std::u16string log_folder = u"C:\\EventLog";
  std::int32_t time_sync = 0;
  std::int32_t time_sync_time = 0;  // hour * 10000 + minute * 100 + second
  std::int32_t motion_record = 0;
  std::int32_t motion_popup = 0;
  std::int32_t alarm_duration = 30;
  std::int32_t pre_record = 0;
  std::int32_t switch_record = 1;
  std::int32_t switch_format = 0;  // 0 = D1, 1 = CIF
  std::int32_t switch_time = 30;
  std::int32_t occlusion_record = 1;
  std::int32_t occlusion_format = 0;
  std::int32_t occlusion_time = 30;
  std::int32_t pre_record_time = 60;
  std::int32_t reserved_flag = 0;
  std::int32_t alarm_sound = 0;
  std::u16string alarm_sound_file = u"C:\\WINDOWS\\Media\\notify.wav";
  WeeklyPlan plan{};

  bool operator==(const ClientSettings&) const = default;
};

// The once-a-day device time synchronisation is due at this second.
inline bool time_sync_due(const ClientSettings& s, int hour, int minute, int second) {
  return s.time_sync == 1 && hour * 10000 + minute * 100 + second == s.time_sync_time;
}

// The defaults that apply before the file is read; the end drive is the last drive.
ClientSettings default_settings(int drive_count);

// Turns a stored folder text into a path: "X:\a\b" means folder a/b on recording
// drive X (or under fallback_root when there is no such drive); any other text is
// a native path.
std::filesystem::path path_from_text(std::u16string_view text,
                                     const std::vector<platform::Drive>& drives,
                                     const std::filesystem::path& fallback_root);
// The other way, for a folder or file the operator chose: "X:\a\b" when it lies
// under a drive root (the deepest one), else the native path.
std::u16string text_from_path(const std::filesystem::path& path,
                              const std::vector<platform::Drive>& drives);

}  // namespace model
