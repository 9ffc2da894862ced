#include "model/time_source.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/drives.h"

namespace model {

std::strong_ordering LocalTime::operator<=>(const LocalTime& o) const {
  for (auto [a, b] :
       {std::pair{year, o.year}, std::pair{month, o.month}, std::pair{day, o.day},
        std::pair{hour, o.hour}, std::pair{minute, o.minute}, std::pair{second, o.second}})
    if (a != b) return a <=> b;
  return std::strong_ordering::equal;
}

LocalTime local_time_of(std::int64_t epoch_seconds) {
  const std::time_t t = static_cast<std::time_t>(epoch_seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                   tm.tm_min,         tm.tm_sec,     tm.tm_wday};
}

LocalTime SystemClock::local_now() {
  return local_time_of(seconds_now());
}

std::int64_t SystemClock::seconds_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::optional<std::uint64_t> DiskSpace::available(const std::filesystem::path& root) {
  auto info = platform::disk_space(root);
  if (!info) return std::nullopt;
  return info->free;
}

std::u16string time_text(const LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

}  // namespace model
