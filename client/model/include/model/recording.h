// Local recording: the recording drives and their free-space policy, the weekly
// plan check, file packing, the recording folders and file names, the search of
// recorded files and the playback arithmetic.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/event_log.h"
#include "model/messages.h"
#include "model/records.h"
#include "model/settings.h"
#include "model/time_source.h"
#include "platform/drives.h"

namespace model {

// A drive records only with more than this many bytes free.
inline constexpr std::uint64_t kDriveSpaceThreshold = 0x32000000;
inline constexpr const char* kRecordFolderName = "H264record";

// The drives usable for recording and the current one.
struct RecordingDrives {
  std::vector<platform::Drive> drives;
  int current = -1;       // index into drives
  bool all_full = false;  // no drive of the range had space at the last choice

  const platform::Drive* current_drive() const;
};

// Tries the drives from the start to the end drive; the first with more than the
// threshold free becomes current and clears the all-full flag. False (flag set)
// when none qualifies.
bool choose_recording_drive(RecordingDrives& drives, const ClientSettings& settings,
                            SpaceSource& space);

// The per-pane recorders as the timers see them.
class PaneRecorders {
 public:
  virtual ~PaneRecorders() = default;
  virtual int pane_count() const = 0;
  virtual bool playing(int pane) const = 0;
  virtual bool recording(int pane) const = 0;
  // Seconds since the epoch at which the current file is to be closed.
  virtual std::int64_t record_stop_time(int pane) const = 0;
  virtual void start_recording(int pane) = 0;
  virtual void stop_recording(int pane) = 0;
  // Closes the running file and begins a new one in the current folder.
  virtual void restart_recording(int pane) = 0;
};

// True when a segment of the day's record has start <= now < end.
bool plan_matches(const WeeklyPlan& plan, const LocalTime& now);

enum class PlanAction { kNothing, kStarted, kStopped };
// The 20-second plan check: starts recording on every playing pane while a
// segment matches (unless all drives are full), stops every recording otherwise.
PlanAction plan_check(const ClientSettings& settings, bool cycling, bool all_drives_full,
                      const LocalTime& now, PaneRecorders& panes);

enum class DiskAction { kEnoughSpace, kSwitchedDrive, kStoppedAll, kDeletedRecordings };
struct DiskCheckResult {
  DiskAction action = DiskAction::kEnoughSpace;
  bool rearm = true;  // false after recording was stopped for lack of space
};
// The 2-second disk-space check of the current recording drive.
DiskCheckResult disk_space_check(RecordingDrives& drives, ClientSettings& settings,
                                 SpaceSource& space, PaneRecorders& panes, EventLog& log,
                                 const LocalTime& now, MessageSink& messages);

// Seconds since the epoch at which a file begun now is packed.
std::int64_t record_stop_time(std::int64_t now_seconds, int pack_minutes);
// The 20-second file packing: panes whose file reached its pack time start a new
// one. Returns the panes restarted.
std::vector<int> file_packing(std::int64_t now_seconds, PaneRecorders& panes);

// Deletes the drive's whole "H264record" tree, files first, skipping what cannot
// be deleted. The folder text logged is "X:\H264record".
std::u16string delete_recordings(const platform::Drive& drive);

// The key that names a server's recordings: its device id, with characters that
// cannot be part of a file name replaced.
std::u16string record_key(std::u16string_view device_id);

// "X:\H264record\[alarm\]YYYY-MM-DD\" on the current drive (chosen first), made
// if missing; nullopt when a folder cannot be made.
std::optional<std::filesystem::path> prepare_recording_folder(RecordingDrives& drives,
                                                              const ClientSettings& settings,
                                                              SpaceSource& space,
                                                              const LocalTime& now, bool alarm);
// "<key>_<channel %02d>_<YYYYMMDD>_<HHMMSS>.264", the key made file-safe by record_key.
std::u16string record_file_name(std::u16string_view key, int channel, const LocalTime& start);
// The parts of a record file name: its key (the prefix playback snapshots are
// named with), channel and start time; nullopt for other names.
struct RecordName {
  std::u16string key;
  int channel = 0;
  LocalTime start;
};
std::optional<RecordName> parse_record_file_name(std::u16string_view file_name);
// "Picture_<key>_<channel %02d>_<YYYYMMDD>_<HHMMSS>_<tick>.bmp"
std::u16string snapshot_file_name(std::u16string_view key, int channel, const LocalTime& now,
                                  std::uint32_t tick_ms);

// One row of the local file list.
struct FileRow {
  std::filesystem::path path;
  std::u16string name;     // "文件名称": full path
  std::u16string channel;  // "通道": the searched channel, -1 for all
  std::u16string type;     // "类型": "正常"
  std::u16string start;    // "开始时间": "%Y%m%d %H:%M:%S"
  std::u16string end;      // "结束时间"
};

struct SearchRequest {
  std::u16string key;  // record_key of the chosen server
  int channel = -1;    // -1: all channels
  LocalTime start;
  LocalTime end;
};

// Lists the recordings of the key on the drives from the start to the end
// drive: day folders in name order, files in name order, those whose start time
// lies within [start, end]. A file's start time is the one its name carries
// (the time its recording began), else its last-write time; its end time is
// the last-write time. A set cancel flag ends the walk before the next entry
// with the rows found so far; progress gets the number found after each row.
std::vector<FileRow> search_recordings(const SearchRequest& request, const RecordingDrives& drives,
                                       const ClientSettings& settings,
                                       const std::atomic<bool>* cancel = nullptr,
                                       const std::function<void(std::size_t found)>& progress = {});

inline constexpr std::u16string_view kSearchDone = u"文件查找结束!";

// The checks of "查找" before any file is read.
enum class SearchStart {
  kNothing,   // the list stays: no right (after its message), or start later than end
  kNoServer,  // the list is cleared after "请选择ORV!"
  kSearch,    // the list is cleared and the drives are searched
};
SearchStart begin_search(const SearchRequest& request, bool server_chosen, std::int32_t rights_word,
                         MessageSink& messages);

// "查找": nullopt when nothing happens (start later than end, list untouched).
std::optional<std::vector<FileRow>> run_search(const SearchRequest& request, bool server_chosen,
                                               std::int32_t rights_word,
                                               const RecordingDrives& drives,
                                               const ClientSettings& settings,
                                               MessageSink& messages);

// ---- the file page's transport ----

enum class Transport { kInitial, kStopped, kPlaying, kPaused, kSingleStep };

// What the page's controls allow in a state, and the two changing tool tips.
struct TransportControls {
  bool play = false;  // the play/pause button
  bool stop = false;
  bool slow = false;
  bool fast = false;
  bool snapshot = false;
  bool frame_back = false;
  bool frame_forward = false;
  bool sound = false;
  bool progress = false;  // the progress slider
  bool volume = false;
  bool clip_start = false;  // "保存"
  bool clip_end = false;    // "停止保存"
  std::u16string_view play_tip;
  std::u16string_view sound_tip;
};
// index_ready: the file's frame index is complete (frame back needs it);
// clipping: "保存" took a start frame that "停止保存" has not used yet.
TransportControls transport_controls(Transport state, bool sound_on, bool index_ready,
                                     bool clipping);

// The prefix and channel a playback snapshot is named with: those the record
// file's name carries; for another name, its part before the first "_" and the
// searched channel (0 when all were searched).
struct SnapshotNaming {
  std::u16string key;
  int channel = 0;
};
SnapshotNaming playback_snapshot_naming(std::u16string_view file_name, int searched_channel);

inline constexpr std::u16string_view kClipFolder = u"c:\\H264_MyClip";
inline constexpr std::u16string_view kClipExists = u"该文件已存在，是否覆盖原来的文件?";
inline constexpr std::u16string_view kEmptyFile = u"文件大小为0!";
inline constexpr std::u16string_view kChooseFile = u"请选择要播放的文件!";

// Deletes one listed file; true when it is gone (a file already missing counts).
using FileRemover = std::function<bool(const std::filesystem::path&)>;
bool remove_listed_file(const std::filesystem::path& file);
// "删除": row is the selected one (null: none). Needs right 0x100 and the
// operator's "确定删除此文件吗?"; a failure shows "不能删除文件:%s!". True when the
// file was deleted and its row goes. remove defaults to remove_listed_file.
bool delete_listed_file(const FileRow* row, std::int32_t rights_word, MessageSink& messages,
                        const FileRemover& remove = {});
// "全部删除": every row's file, the last row first, after "确定删除所有文件吗?"; each
// failure is shown and the loop goes on. The indexes of the rows deleted, in
// that order (last first), so erasing them one by one keeps the rest valid.
std::vector<std::size_t> delete_listed_files(const std::vector<FileRow>& rows,
                                             std::int32_t rights_word, MessageSink& messages,
                                             const FileRemover& remove = {});

// Playback: "%d/%d  %02d:%02d:%02d/%02d:%02d:%02d".
std::u16string playback_status(int current_frame, int total_frames, int played_seconds,
                               int length_seconds);
struct SliderMove {
  bool move = false;
  int position = 0;  // where the slider is put
  int last = 0;      // the new last position
};
// The 500 ms progress update of the slider (range 0-200).
SliderMove progress_slider(int played_seconds, int length_seconds, int last_position);
// Dragging the slider: the play position in percent, or nullopt for a move of
// less than 3 steps.
std::optional<double> seek_percent(int new_position, int last_position);

}  // namespace model
