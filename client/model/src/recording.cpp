#include "model/recording.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "model/i18n.h"
#include "model/users.h"
#include "platform/text.h"

namespace model {
namespace {

std::u16string ascii(const char* s) {
  return std::u16string(s, s + std::char_traits<char>::length(s));
}

// The start..end range of the settings within the drive list; false when empty.
bool drive_range(const RecordingDrives& d, const ClientSettings& s, int& first, int& last) {
  const int n = static_cast<int>(d.drives.size());
  if (n == 0) return false;
  first = std::clamp(s.start_drive, 0, n - 1);
  last = std::clamp(s.end_drive, 0, n - 1);
  return first <= last;
}

bool enough_space(SpaceSource& space, const platform::Drive& drive) {
  auto free = space.available(drive.root);
  return free && *free > kDriveSpaceThreshold;
}

std::u16string drive_folder_text(char letter) {
  return std::u16string(1, static_cast<char16_t>(letter)) + u":\\" + ascii(kRecordFolderName);
}

std::optional<LocalTime> last_write(const std::filesystem::path& p) {
  std::error_code ec;
  const auto ft = std::filesystem::last_write_time(p, ec);
  if (ec) return std::nullopt;
  const auto sys = std::chrono::file_clock::to_sys(ft);
  return local_time_of(
      std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count());
}

std::u16string list_time(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return ascii(buf);
}

std::vector<std::filesystem::path> sorted_entries(const std::filesystem::path& folder,
                                                  bool folders) {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    const bool dir = it->is_directory(kind);
    if (folders ? dir : it->is_regular_file(kind)) out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

const platform::Drive* RecordingDrives::current_drive() const {
  if (current < 0 || current >= static_cast<int>(drives.size())) return nullptr;
  return &drives[static_cast<std::size_t>(current)];
}

bool choose_recording_drive(RecordingDrives& d, const ClientSettings& s, SpaceSource& space) {
  int first = 0, last = -1;
  if (drive_range(d, s, first, last)) {
    for (int i = first; i <= last; ++i) {
      if (enough_space(space, d.drives[static_cast<std::size_t>(i)])) {
        d.current = i;
        d.all_full = false;
        return true;
      }
    }
  }
  d.all_full = true;
  return false;
}

bool plan_matches(const WeeklyPlan& plan, const LocalTime& now) {
  const int minute_of_day = now.hour * 100 + now.minute;
  for (const PlanSegment& s : plan[static_cast<std::size_t>(plan_day_for_weekday(now.weekday))])
    if (s.start <= minute_of_day && minute_of_day < s.end) return true;
  return false;
}

PlanAction plan_check(const ClientSettings& settings, bool cycling, bool all_drives_full,
                      const LocalTime& now, PaneRecorders& panes) {
  if (!settings.auto_record || cycling) return PlanAction::kNothing;
  if (plan_matches(settings.plan, now)) {
    if (all_drives_full) return PlanAction::kNothing;
    bool started = false;
    for (int i = 0; i < panes.pane_count(); ++i)
      if (panes.playing(i) && !panes.recording(i)) {
        panes.start_recording(i);
        started = true;
      }
    return started ? PlanAction::kStarted : PlanAction::kNothing;
  }
  bool stopped = false;
  for (int i = 0; i < panes.pane_count(); ++i)
    if (panes.recording(i)) {
      panes.stop_recording(i);
      stopped = true;
    }
  return stopped ? PlanAction::kStopped : PlanAction::kNothing;
}

DiskCheckResult disk_space_check(RecordingDrives& d, ClientSettings& settings, SpaceSource& space,
                                 PaneRecorders& panes, EventLog& log, const LocalTime& now,
                                 MessageSink& messages) {
  DiskCheckResult r;
  // The check fires below the threshold; a new drive needs more than it.
  if (const platform::Drive* current = d.current_drive()) {
    auto free = space.available(current->root);
    if (free && *free >= kDriveSpaceThreshold) return r;
  }
  const int previous = d.current;
  if (choose_recording_drive(d, settings, space)) {
    for (int i = 0; i < panes.pane_count(); ++i)
      if (panes.recording(i)) panes.restart_recording(i);
    r.action = DiskAction::kSwitchedDrive;
    return r;
  }
  if (!settings.cyclic_record) {
    for (int i = 0; i < panes.pane_count(); ++i)
      if (panes.recording(i)) panes.stop_recording(i);
    settings.auto_record = 0;
    settings.motion_record = 0;
    settings.switch_record = 0;
    messages.info(u"客户端录像硬盘驱动器已满，无法继续录像!");
    r.action = DiskAction::kStoppedAll;
    r.rearm = false;
    return r;
  }
  int first = 0, last = -1;
  if (!drive_range(d, settings, first, last)) {
    r.action = DiskAction::kDeletedRecordings;
    return r;
  }
  int next = (previous >= first && previous < last) ? previous + 1 : first;
  const std::u16string folder = delete_recordings(d.drives[static_cast<std::size_t>(next)]);
  log.append(fill_pattern(kFileDeleted, {std::u16string(folder)}), now);
  r.action = DiskAction::kDeletedRecordings;
  return r;
}

std::int64_t record_stop_time(std::int64_t now_seconds, int pack_minutes) {
  return now_seconds + static_cast<std::int64_t>(pack_minutes) * 60;
}

std::vector<int> file_packing(std::int64_t now_seconds, PaneRecorders& panes) {
  std::vector<int> restarted;
  for (int i = 0; i < panes.pane_count(); ++i)
    if (panes.recording(i) && now_seconds >= panes.record_stop_time(i)) {
      panes.restart_recording(i);
      restarted.push_back(i);
    }
  return restarted;
}

std::u16string delete_recordings(const platform::Drive& drive) {
  const std::filesystem::path top = drive.root / kRecordFolderName;
  std::vector<std::filesystem::path> folders;
  std::error_code ec;
  if (std::filesystem::is_directory(std::filesystem::symlink_status(top, ec))) {
    // Links are removed as links, never followed out of the tree.
    for (auto it = std::filesystem::recursive_directory_iterator(top, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code kind;
      if (it->is_directory(kind) && !it->is_symlink(kind))
        folders.push_back(it->path());
      else
        std::filesystem::remove(it->path(), kind);
    }
    // Deepest folders first; a folder that still holds a file stays.
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return a.native().size() > b.native().size(); });
    for (const auto& f : folders) std::filesystem::remove(f, ec);
    std::filesystem::remove(top, ec);
  }
  return drive_folder_text(drive.letter);
}

std::u16string record_key(std::u16string_view device_id) {
  std::u16string key(device_id);
  for (auto& c : key)
    if (c == u'/' || c == u'\\' || c == u'\0' || c == u':' || c == u'*' || c == u'?') c = u'_';
  if (key.empty() || key == u"." || key == u"..") key = u"_" + key;
  return key;
}

std::optional<std::filesystem::path> prepare_recording_folder(RecordingDrives& d,
                                                              const ClientSettings& settings,
                                                              SpaceSource& space,
                                                              const LocalTime& now, bool alarm) {
  choose_recording_drive(d, settings, space);
  const platform::Drive* drive = d.current_drive();
  if (!drive) return std::nullopt;
  std::filesystem::path folder = drive->root / kRecordFolderName;
  char day[32];
  std::snprintf(day, sizeof day, "%4d-%02d-%02d", now.year, now.month, now.day);
  std::vector<std::filesystem::path> steps{folder};
  if (alarm) steps.push_back(steps.back() / "alarm");
  steps.push_back(steps.back() / day);
  for (const auto& step : steps) {
    std::error_code ec;
    if (std::filesystem::is_directory(step, ec)) continue;
    if (!std::filesystem::create_directory(step, ec)) return std::nullopt;
  }
  return steps.back();
}

std::u16string record_file_name(std::u16string_view key, int channel, const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "_%02d_%4d%02d%02d_%02d%02d%02d.264", channel, t.year, t.month,
                t.day, t.hour, t.minute, t.second);
  return record_key(key) + ascii(buf);
}

std::optional<RecordName> parse_record_file_name(std::u16string_view name) {
  // "<key>_<channel>_YYYYMMDD_HHMMSS.264"; the key itself may hold "_".
  if (name.size() < 4 || name.substr(name.size() - 4) != u".264") return std::nullopt;
  name.remove_suffix(4);
  auto field = [&](std::size_t min, std::size_t max, int& out) {
    const auto bar = name.rfind(u'_');
    if (bar == std::u16string_view::npos) return false;
    const auto digits = name.substr(bar + 1);
    if (digits.size() < min || digits.size() > max) return false;
    out = 0;
    for (char16_t c : digits) {
      if (c < u'0' || c > u'9') return false;
      out = out * 10 + (c - u'0');
    }
    name = name.substr(0, bar);
    return true;
  };
  int time = 0, date = 0;
  RecordName r;
  if (!field(6, 6, time) || !field(8, 8, date) || !field(1, 9, r.channel)) return std::nullopt;
  r.key = std::u16string(name);
  r.start = LocalTime{date / 10000,     date / 100 % 100, date % 100, time / 10000,
                      time / 100 % 100, time % 100,       0};
  return r;
}

std::u16string snapshot_file_name(std::u16string_view key, int channel, const LocalTime& t,
                                  std::uint32_t tick_ms) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "_%02d_%4d%02d%02d_%02d%02d%02d_%u.bmp", channel, t.year, t.month,
                t.day, t.hour, t.minute, t.second, tick_ms);
  return u"Picture_" + record_key(key) + ascii(buf);
}

std::vector<FileRow> search_recordings(const SearchRequest& req, const RecordingDrives& d,
                                       const ClientSettings& settings,
                                       const std::atomic<bool>* cancel,
                                       const std::function<void(std::size_t)>& progress) {
  std::vector<FileRow> rows;
  auto cancelled = [cancel] { return cancel && cancel->load(); };
  int first = 0, last = -1;
  if (!drive_range(d, settings, first, last)) return rows;
  std::string prefix = platform::utf8_from_u16(record_key(req.key)) + "_";
  if (req.channel >= 0) {
    char ch[16];
    std::snprintf(ch, sizeof ch, "%02d", req.channel);
    prefix += ch;
  }
  for (int i = first; i <= last && !cancelled(); ++i) {
    const auto top = d.drives[static_cast<std::size_t>(i)].root / kRecordFolderName;
    for (const auto& day : sorted_entries(top, true)) {
      if (cancelled()) break;
      for (const auto& file : sorted_entries(day, false)) {
        if (cancelled()) break;
        const std::string name = file.filename().string();
        if (name.size() < prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".264") != 0)
          continue;
        const auto written = last_write(file);
        if (!written) continue;
        const auto parts = parse_record_file_name(platform::u16_from_utf8(name));
        const LocalTime began = parts ? parts->start : *written;
        if (began < req.start || req.end < began) continue;
        FileRow row;
        row.path = file;
        row.name = platform::u16_from_utf8(file.string());
        row.channel = u16_number(req.channel);
        row.type = u"正常";
        row.start = list_time(began);
        row.end = list_time(*written);
        rows.push_back(std::move(row));
        if (progress) progress(rows.size());
      }
    }
  }
  return rows;
}

std::optional<std::vector<FileRow>> run_search(const SearchRequest& request, bool server_chosen,
                                               std::int32_t rights_word,
                                               const RecordingDrives& drives,
                                               const ClientSettings& settings,
                                               MessageSink& messages) {
  switch (begin_search(request, server_chosen, rights_word, messages)) {
    case SearchStart::kNothing:
      return std::nullopt;
    case SearchStart::kNoServer:
      return std::vector<FileRow>{};
    case SearchStart::kSearch:
      break;
  }
  auto rows = search_recordings(request, drives, settings);
  messages.info(kSearchDone);
  return rows;
}

SearchStart begin_search(const SearchRequest& request, bool server_chosen, std::int32_t rights_word,
                         MessageSink& messages) {
  if (!check_right(rights_word, rights::kLocalPlayback, messages)) return SearchStart::kNothing;
  if (request.end < request.start) return SearchStart::kNothing;
  if (!server_chosen) {
    messages.info(u"请选择ORV!");
    return SearchStart::kNoServer;
  }
  return SearchStart::kSearch;
}

TransportControls transport_controls(Transport state, bool sound_on, bool index_ready,
                                     bool clipping) {
  TransportControls c;
  c.sound_tip = sound_on ? u"关闭声音" : u"开启声音";
  c.play_tip = u"播放";
  if (state == Transport::kInitial) return c;
  c.play = true;
  if (state == Transport::kStopped) return c;
  c.play_tip = state == Transport::kPlaying ? u"暂停" : u"开始播放";
  c.stop = c.slow = c.fast = c.snapshot = c.frame_forward = c.sound = true;
  c.progress = c.volume = true;
  c.frame_back = index_ready;
  c.clip_start = !clipping;
  c.clip_end = clipping;
  return c;
}

SnapshotNaming playback_snapshot_naming(std::u16string_view file_name, int searched_channel) {
  if (auto parts = parse_record_file_name(file_name)) return {parts->key, parts->channel};
  const auto bar = file_name.find(u'_');
  return {std::u16string(file_name.substr(0, bar)), std::max(searched_channel, 0)};
}

bool remove_listed_file(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
  return !ec;
}

namespace {

bool delete_one(const FileRow& row, MessageSink& messages, const FileRemover& remove) {
  if (remove ? remove(row.path) : remove_listed_file(row.path)) return true;
  messages.info(tx(u"不能删除文件:%1!", {row.name}));
  return false;
}

}  // namespace

bool delete_listed_file(const FileRow* row, std::int32_t rights_word, MessageSink& messages,
                        const FileRemover& remove) {
  if (!check_right(rights_word, rights::kLocalPlayback, messages)) return false;
  if (!row || row->name.empty() || row->path.empty()) return false;
  if (!messages.confirm(u"确定删除此文件吗?", u"警告")) return false;
  return delete_one(*row, messages, remove);
}

std::vector<std::size_t> delete_listed_files(const std::vector<FileRow>& rows,
                                             std::int32_t rights_word, MessageSink& messages,
                                             const FileRemover& remove) {
  std::vector<std::size_t> deleted;
  if (!check_right(rights_word, rights::kLocalPlayback, messages)) return deleted;
  if (rows.empty() || !messages.confirm(u"确定删除所有文件吗?", u"警告")) return deleted;
  for (std::size_t i = rows.size(); i-- > 0;)
    if (delete_one(rows[i], messages, remove)) deleted.push_back(i);
  return deleted;
}

std::u16string playback_status(int current_frame, int total_frames, int played, int length) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%d/%d  %02d:%02d:%02d/%02d:%02d:%02d", current_frame,
                total_frames, (played / 3600) % 24, (played / 60) % 60, played % 60, length / 3600,
                (length / 60) % 60, length % 60);
  return ascii(buf);
}

SliderMove progress_slider(int played, int length, int last) {
  SliderMove m;
  m.last = last;
  if (length <= 0) return m;
  const int pos = static_cast<int>(static_cast<long long>(played) * 200 / length);
  if (pos == last) return m;
  m.move = true;
  m.position = pos > last ? pos + 1 : pos;
  m.last = pos;
  return m;
}

std::optional<double> seek_percent(int new_position, int last_position) {
  if (std::abs(new_position - last_position) < 3) return std::nullopt;
  return new_position * 100 / 200.0;
}

}  // namespace model
