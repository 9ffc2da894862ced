#include "model/settings_page.h"

#include <utility>

#include "model/config_files.h"
#include "model/i18n.h"
#include "model/users.h"

namespace model {

StoreResult store_settings(const ClientSettings& form, SyncTime sync, std::int32_t rights_word,
                           ClientSettings& settings, const std::vector<platform::Drive>& drives,
                           const std::filesystem::path& working_folder, MessageSink& messages) {
  StoreResult result;
  if (!check_right(rights_word, rights::kLocalSettings, messages)) return result;

  struct Range {
    std::int32_t value;
    int low, high;
  };
  for (const Range& r :
       {Range{form.alarm_duration, 0, 1000000}, Range{form.switch_time, 1, 100000},
        Range{form.occlusion_time, 1, 100000}, Range{form.pre_record_time, 10, 1800}}) {
    if (r.value < r.low || r.value > r.high) {
      messages.info(
          tx(u"请输入一个介于%1和%2之间的整数。", {u16_number(r.low), u16_number(r.high)}));
      return result;
    }
  }
  settings.alarm_duration = form.alarm_duration;
  if (form.pack_minutes < 1 || form.pack_minutes > 60) {
    messages.info(u"非法的文件打包时间!");
    return result;
  }
  if (form.download_folder.empty() || form.log_folder.empty() || form.snapshot_folder.empty()) {
    messages.info(u"请选择文件保存路径!");
    return result;
  }
  if (form.end_drive < form.start_drive) {
    messages.info(u"起始驱动器和终止驱动器不匹配!");
    return result;
  }

  const std::int32_t old_hardware = settings.hardware_decoding;
  // The plan editor writes into the stored plan directly; the page never holds it.
  const WeeklyPlan plan = settings.plan;
  settings = form;
  settings.plan = plan;
  if (settings.cycle_time < 5) settings.cycle_time = 5;
  if (settings.hardware_decoding != old_hardware)
    result.hardware_change = settings.hardware_decoding ? 1 : 2;
  settings.time_sync_time = sync.hour * 10000 + sync.minute * 100 + sync.second;

  for (const auto* folder :
       {&settings.download_folder, &settings.log_folder, &settings.snapshot_folder}) {
    std::error_code ec;
    std::filesystem::create_directory(path_from_text(*folder, drives, working_folder), ec);
  }
  write_client_cfg(working_folder, settings);
  result.stored = true;
  return result;
}

PlanEditor::DayFields PlanEditor::load_day(int day) const {
  DayFields f{};
  if (day < 0 || day >= kPlanDays) return f;
  for (int k = 0; k < kSegmentsPerDay; ++k) {
    const PlanSegment& s = plan_[day][k];
    f[k] = {s.start_hour, s.start_minute, s.end_hour, s.end_minute};
  }
  return f;
}

bool PlanEditor::store(int day, const DayFields& fields) {
  if (day < 0 || day >= kPlanDays) return false;
  for (const auto& seg : fields)
    // The hour fields hold two digits; larger values would not fit the record.
    if (seg[0] < 0 || seg[2] < 0 || seg[0] > 99 || seg[2] > 99) {
      messages_.info(u"小时的范围在0 -- 24之间!");
      return false;
    }
  for (const auto& seg : fields)
    if (seg[1] < 0 || seg[1] > 60 || seg[3] < 0 || seg[3] > 60) {
      messages_.info(u"分钟的范围在0 -- 60之间!");
      return false;
    }
  PlanDay& record = plan_[day];
  for (int k = 0; k < kSegmentsPerDay; ++k) {
    const auto& f = fields[k];
    record[k] = PlanSegment{static_cast<std::uint16_t>(f[0]),
                            static_cast<std::uint16_t>(f[1]),
                            static_cast<std::uint16_t>(f[2]),
                            static_cast<std::uint16_t>(f[3]),
                            static_cast<std::uint16_t>(f[0] * 100 + f[1]),
                            static_cast<std::uint16_t>(f[2] * 100 + f[3])};
  }
  for (int k = 0; k < kSegmentsPerDay; ++k) {
    const int s = record[k].start;
    const int e = record[k].end;
    if (s >= 2400 || e > 2400) {
      messages_.info(u"录像时间不能超过24:00!");
      return false;
    }
    if (e < s) {
      messages_.info(u"录像起始时间不能大于录像停止时间!");
      return false;
    }
    for (int j = k + 1; j < kSegmentsPerDay; ++j) {
      const int s2 = record[j].start;
      const int e2 = record[j].end;
      if ((s2 < s && s < e2) || (s2 < e && e < e2)) {
        messages_.info(u"录像时间不能重复!");
        return false;
      }
    }
  }
  changed_ = true;
  copy_enabled_ = true;
  return true;
}

void PlanEditor::copy(int source_day, int target) {
  if (!copy_enabled_ || source_day < 0 || source_day >= kPlanDays) return;
  if (target == kWholeWeek) {
    for (int d = 0; d < kPlanDays; ++d)
      if (d != source_day) plan_[d] = plan_[source_day];
    return;
  }
  if (target < 0 || target >= kPlanDays || target == source_day) return;
  plan_[target] = plan_[source_day];
}

}  // namespace model
