// The preset and cruise editor of "预置点及云台速度设置" without widgets: the
// working block and its saved copy, the rules of every command, the enabling
// of the cruise buttons, the per-channel preset file and the cruise tour.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/messages.h"

namespace model {

inline constexpr int kPresetEntries = 128;
inline constexpr int kPresetNameUnits = 32;
// Entry 0 is never used, so numbers 1-127 address the table.
inline constexpr int kMaxPresetNumber = kPresetEntries - 1;
// One unit stays for the terminating zero.
inline constexpr int kMaxPresetNameLength = kPresetNameUnits - 1;
inline constexpr int kCruisePaths = 8;
inline constexpr int kCruisePoints = 80;
inline constexpr int kDefaultPtzSpeed = 32;
inline constexpr int kMinDwell = 3;
inline constexpr int kMaxDwell = 255;
// The channel's decoder protocol when the client knows none (Pelco-D).
inline constexpr int kDefaultDecoderProtocol = 25;
inline constexpr int kTwoPointProtocol = 25;

// PtzControl commands; the preset number travels as value C.
inline constexpr int kPtzSetPreset = 8;
inline constexpr int kPtzClearPreset = 9;
inline constexpr int kPtzGotoPreset = 39;

inline constexpr std::u16string_view kPresetExists = u"该编号预置点已存在";
inline constexpr std::u16string_view kTwoPointsNeeded = u"一条巡航轨迹必须由两个以上续航点组成\n!";
inline constexpr std::u16string_view kAskSavePresets = u"配置已修改,是否保存？";
inline constexpr std::u16string_view kPresetNumberRange = u"预置点编号须在1-127之间!";
inline constexpr std::u16string_view kPresetNameTooLong = u"预置点名称不能超过31个字符!";
inline constexpr std::u16string_view kPathFull = u"一条巡航轨迹最多80个巡航点!";
inline constexpr std::u16string_view kPresetSaveFailed = u"预置点保存失败!";

struct PresetEntry {
  std::uint8_t number = 0;  // 0: free
  std::array<char16_t, kPresetNameUnits> name{};
  bool operator==(const PresetEntry&) const = default;
};

struct CruisePoint {
  std::uint8_t preset = 0;  // 0: empty slot
  std::uint8_t dwell = 0;   // seconds
  std::uint8_t speed = 0;
  bool operator==(const CruisePoint&) const = default;
};

using CruisePath = std::array<CruisePoint, kCruisePoints>;

struct PresetBlock {
  std::array<PresetEntry, kPresetEntries> presets{};
  std::array<CruisePath, kCruisePaths> paths{};
  std::uint8_t speed = 0;
  bool operator==(const PresetBlock&) const = default;
};

// ---- the preset file ----

// "Preset_<record key of the device id>_<channel>.dat" in the working folder.
std::u16string preset_file_name(std::u16string_view device_id, int channel);
std::string encode_preset_block(const PresetBlock& block);
// nullopt for anything but a whole, consistent block of the current version.
std::optional<PresetBlock> decode_preset_block(std::string_view bytes);
// A missing, unreadable or damaged file gives the empty block.
PresetBlock read_preset_file(const std::filesystem::path& file);
bool write_preset_file(const std::filesystem::path& file, const PresetBlock& block);

// ---- the editor ----

struct PresetRow {
  int number = 0;
  std::u16string name;
};

struct PointRow {
  int preset = 0;
  int speed = 0;
  int dwell = 0;
};

struct CruiseButtons {
  bool run = false;
  bool stop = false;
  bool finish = false;
  bool remove_point = false;
};

// The close question has three answers; the message sink knows two.
enum class SaveAnswer { kYes, kNo, kCancel };
using SaveQuestion =
    std::function<SaveAnswer(std::u16string_view text, std::u16string_view caption)>;

class PresetEditor {
 public:
  // Opening for a channel: both blocks become what the file held (empty
  // without one), path 0 is shown, nothing runs.
  void open(const PresetBlock& stored, int protocol);
  const PresetBlock& working() const { return working_; }
  const PresetBlock& saved() const { return saved_; }
  bool changed() const { return working_ != saved_; }
  int protocol() const { return protocol_; }
  bool two_point_rule() const { return protocol_ == kTwoPointProtocol; }
  // The speed field's range and its label.
  int min_point_speed() const { return two_point_rule() ? 1 : 0; }
  int max_point_speed() const { return two_point_rule() ? 8 : 255; }
  std::u16string_view point_speed_label() const { return two_point_rule() ? u"(1~8)" : u"(3~255)"; }

  // A number the device's preset commands may address; a message otherwise.
  bool check_number(int number, MessageSink& messages) const;
  // "设置": true when entry number was filled.
  bool add_preset(int number, std::u16string_view name, MessageSink& messages);
  // "删除": true when the number addresses the table.
  bool remove_preset(int number, MessageSink& messages);
  // "修改名称": true when the entry's name was replaced.
  bool rename_preset(int number, std::u16string_view name, MessageSink& messages);
  std::vector<PresetRow> preset_rows() const;
  std::optional<PresetRow> preset(int number) const;
  // "修改速度".
  void set_speed(int speed);

  // ---- cruise ----
  void select_path(int path);
  int path() const { return path_; }
  std::vector<PointRow> point_rows() const;
  // The "巡航点:" choices: used presets not yet in the selected path.
  std::vector<int> free_presets() const;
  // "添加": true when the point took the path's next slot.
  bool add_point(int preset, int dwell, int speed, MessageSink& messages);
  // "删除点" on the row; the later points move up.
  bool remove_point(int row);
  void clear_path();
  // A point row was (de)selected (-1: none).
  void select_point(int row);
  // "完成": false after the two-point message.
  bool finish(MessageSink& messages);
  // "运行" / "停止".
  bool run();
  void stop();
  bool running() const { return running_; }
  CruiseButtons buttons() const;

  // "保存": the file first, then the saved copy; a message when the file failed.
  bool save(const std::filesystem::path& file, MessageSink& messages);
  // Closing: true when the window may close. Asks only when the block changed;
  // Yes saves (a failed save keeps the window), No discards.
  bool close(const SaveQuestion& ask, const std::filesystem::path& file, MessageSink& messages);

 private:
  CruisePath& current() { return working_.paths[static_cast<std::size_t>(path_)]; }
  const CruisePath& current() const { return working_.paths[static_cast<std::size_t>(path_)]; }
  int point_count() const;
  void edited();

  PresetBlock working_;
  PresetBlock saved_;
  int protocol_ = kDefaultDecoderProtocol;
  int path_ = 0;
  int selected_point_ = -1;
  bool finish_enabled_ = false;
  bool run_enabled_ = false;
  bool running_ = false;
};

// Where a tour of a path goes next: the non-empty points in order, looping.
class CruiseTour {
 public:
  struct Step {
    int preset = 0;
    int dwell_s = 0;  // at least 1
  };
  explicit CruiseTour(const CruisePath& path);
  bool empty() const { return points_.empty(); }
  // nullopt for a path without points.
  std::optional<Step> next();

 private:
  std::vector<CruisePoint> points_;
  std::size_t at_ = 0;
};

}  // namespace model
