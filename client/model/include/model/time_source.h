// Time and free space reach the model through these interfaces, so tests set
// them; the real ones read the system clock and the file system.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace model {

// Local wall-clock time, field by field.
struct LocalTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 4;  // 0 = Sunday

  // Ordered field by field (year ... second), as the search compares times.
  std::strong_ordering operator<=>(const LocalTime& o) const;
  bool operator==(const LocalTime& o) const { return (*this <=> o) == 0; }
};

// Local time of seconds since the epoch.
LocalTime local_time_of(std::int64_t epoch_seconds);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime local_now() = 0;
  // Seconds since the epoch, for durations such as the file pack time.
  virtual std::int64_t seconds_now() = 0;
};

class SystemClock : public Clock {
 public:
  LocalTime local_now() override;
  std::int64_t seconds_now() override;
};

class SpaceSource {
 public:
  virtual ~SpaceSource() = default;
  // Bytes available to this user on the drive with this root; nullopt if unknown.
  virtual std::optional<std::uint64_t> available(const std::filesystem::path& root) = 0;
};

class DiskSpace : public SpaceSource {
 public:
  std::optional<std::uint64_t> available(const std::filesystem::path& root) override;
};

// "%04d-%02d-%02d %02d:%02d:%02d"
std::u16string time_text(const LocalTime& t);

}  // namespace model
