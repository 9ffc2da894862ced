#include "model/event_log.h"

#include <cstdio>

#include "model/records.h"
#include "platform/files.h"
#include "platform/text.h"

namespace model {

std::u16string_view exception_notice(unsigned code) {
  switch (code) {
    case 32769:
      return u"语音对讲时网络异常!!!";
    case 32770:
      return u"报警上传时网络异常!!!";
    case 32771:
      return u"网络预览时网络异常!!!";
    case 32772:
      return u"透明通道传输时网络异常!!!";
    case 32773:
      return u"预览时网络重连!!!";
    default:
      return {};
  }
}

std::u16string live_start_failed_text(std::u16string_view address, int channel, int error) {
  return u"访问IP:" + std::u16string(address) + u" 通道" + u16_number(channel) +
         u" 连接启动失败 dwErr = " + u16_number(error);
}

EventLog::EventLog() : slots_(kEventSlots) {}

void EventLog::append(std::u16string_view text, const LocalTime& now) {
  std::lock_guard lock(mutex_);
  slots_[static_cast<std::size_t>(count_)] = Event{time_text(now), std::u16string(text)};
  if (++count_ == kEventSlots) count_ = 0;
}

std::vector<Event> EventLog::events() const {
  std::lock_guard lock(mutex_);
  return std::vector<Event>(slots_.begin(), slots_.begin() + count_);
}

int EventLog::count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::string EventLog::file_name(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "EventFile_%4d%02d%02d_%02d%02d%02d.txt", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buf;
}

bool EventLog::save(const std::filesystem::path& folder, const LocalTime& now,
                    MessageSink& messages) {
  std::unique_lock lock(mutex_);
  if (count_ == 0) return false;
  std::string text;
  for (int i = 0; i < count_; ++i)
    text += platform::utf8_from_u16(slots_[static_cast<std::size_t>(i)].time + u" " +
                                    slots_[static_cast<std::size_t>(i)].text) +
            "\r\n";
  std::error_code ec;
  const bool written = std::filesystem::is_directory(folder, ec) &&
                       platform::write_file_atomic(folder / file_name(now), text);
  if (!written) {
    lock.unlock();  // never call out with the table locked
    messages.info(u"日志文件创建失败!");
    return false;
  }
  count_ = 0;
  return true;
}

}  // namespace model
