// The process-wide event table and its log file.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "model/i18n.h"
#include "model/messages.h"
#include "model/time_source.h"

namespace model {

inline constexpr int kEventSlots = 2000;

struct Event {
  std::u16string time;  // "%04d-%02d-%02d %02d:%02d:%02d"
  std::u16string text;
  bool operator==(const Event&) const = default;
};

// The composed event lines, filled by fill_pattern. They are stored as
// written; the log window shows them in the operator's language (event_shown).
inline constexpr std::u16string_view kLiveStartFailed = u"访问IP:%1 通道%2 连接启动失败 dwErr = %3";
inline constexpr std::u16string_view kRecordWriteFailed =
    u"访问IP:%1 通道%2 录像写入失败,录像已停止";
inline constexpr std::u16string_view kDeviceLost = u"设备 %1 失去连接";
inline constexpr std::u16string_view kDeviceBack = u"设备 %1 恢复连接";
inline constexpr std::u16string_view kFileDeleted = u"删除文件%1成功";

// A stored event line in the operator's language: a composed line of one of
// the patterns above with its parts kept, any other line by exact lookup.
std::u16string event_shown(std::u16string_view stored);

// kLiveStartFailed: a live start that failed.
std::u16string live_start_failed_text(std::u16string_view address, int channel, int error);

// The notice of a network exception reported to the desk (32769-32773);
// empty for any other code.
std::u16string_view exception_notice(unsigned code);

class EventLog {
 public:
  EventLog();
  // Stores the event in the slot at the count; the count starts again at 0 when
  // it reaches 2000, so the table then lists nothing until the next event.
  void append(std::u16string_view text, const LocalTime& now);
  std::vector<Event> events() const;  // used slots, slot 0 first
  int count() const;

  // "保存日志": writes every event to "EventFile_YYYYMMDD_HHMMSS.txt" in the
  // folder and empties the table. An empty table writes nothing; a file that
  // cannot be created shows "日志文件创建失败!" and keeps the events.
  bool save(const std::filesystem::path& folder, const LocalTime& now, MessageSink& messages);
  static std::string file_name(const LocalTime& now);

 private:
  mutable std::mutex mutex_;
  std::vector<Event> slots_;
  int count_ = 0;
};

}  // namespace model
