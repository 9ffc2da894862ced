// The local settings page's "确定" and the weekly plan editor.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "model/messages.h"
#include "model/settings.h"
#include "platform/drives.h"

namespace model {

struct StoreResult {
  bool stored = false;
  // Hardware decoding change: 1 switched on, 2 switched off, 0 unchanged.
  int hardware_change = 0;
};

struct SyncTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// "确定" of the page: the form's values pass the checks in order, are stored
// into settings, the folders are made and the settings file is written into
// working_folder.
StoreResult store_settings(const ClientSettings& form, SyncTime sync, std::int32_t rights_word,
                           ClientSettings& settings, const std::vector<platform::Drive>& drives,
                           const std::filesystem::path& working_folder, MessageSink& messages);

// "本地录像计划表".
class PlanEditor {
 public:
  // Per segment: start hour, start minute, end hour, end minute.
  using DayFields = std::array<std::array<int, 4>, kSegmentsPerDay>;
  static constexpr int kWholeWeek = 7;  // "整个星期" in "复制该设置至"

  PlanEditor(WeeklyPlan& plan, MessageSink& messages) : plan_(plan), messages_(messages) {}

  // The eight hour/minute values of a day (shown when the day is chosen).
  DayFields load_day(int day) const;
  // "确定": true when every segment passed. The day record stays written even
  // when a segment check fails.
  bool store(int day, const DayFields& fields);
  // "复制": the stored record of source_day to target (0-6 or kWholeWeek).
  void copy(int source_day, int target);

  bool copy_enabled() const { return copy_enabled_; }
  bool changed() const { return changed_; }

 private:
  WeeklyPlan& plan_;
  MessageSink& messages_;
  bool copy_enabled_ = false;
  bool changed_ = false;
};

}  // namespace model
