#include "model/event_log.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "model/i18n.h"
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

namespace {

// The parts of stored that pattern's placeholders stand for (in their
// order in pattern); nullopt when stored is not of the pattern. A part ends
// at the first occurrence of the words after it.
std::optional<std::vector<std::u16string>> match_pattern(std::u16string_view pattern,
                                                         std::u16string_view stored) {
  std::vector<std::u16string_view> words;  // the words around the placeholders
  std::vector<std::size_t> order;          // placeholder numbers, 0-based
  std::size_t start = 0;
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i)
    if (pattern[i] == u'%' && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'9') {
      words.push_back(pattern.substr(start, i - start));
      order.push_back(static_cast<std::size_t>(pattern[i + 1] - u'1'));
      start = i + 2;
      ++i;
    }
  words.push_back(pattern.substr(start));
  if (!stored.starts_with(words.front())) return std::nullopt;
  std::vector<std::u16string> args(
      order.empty() ? 0 : *std::max_element(order.begin(), order.end()) + 1);
  std::size_t at = words.front().size();
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::u16string_view after = words[k + 1];
    const bool last = k + 1 == order.size();
    std::size_t end;
    if (last) {
      if (!stored.substr(at).ends_with(after)) return std::nullopt;
      end = stored.size() - after.size();
    } else {
      end = stored.find(after, at);
      if (end == std::u16string_view::npos) return std::nullopt;
    }
    args[order[k]] = std::u16string(stored.substr(at, end - at));
    at = end + after.size();
  }
  if (order.empty() && stored != pattern) return std::nullopt;
  return args;
}

}  // namespace

std::u16string event_shown(std::u16string_view stored) {
  for (const std::u16string_view pattern :
       {kLiveStartFailed, kRecordWriteFailed, kDeviceLost, kDeviceBack, kFileDeleted})
    if (const auto args = match_pattern(pattern, stored)) return tx(pattern, *args);
  return tx(stored);
}

std::u16string live_start_failed_text(std::u16string_view address, int channel, int error) {
  return fill_pattern(kLiveStartFailed,
                      {std::u16string(address), u16_number(channel), u16_number(error)});
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
