// The vehicle position a device reports (GetGPSData's text, whose format is
// the device's): NMEA 0183 RMC sentences, and the line the client shows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace model {

struct GpsFix {
  double latitude = 0, longitude = 0;  // degrees, south/west negative
  double speed_kmh = 0;
  double course_deg = 0;
  std::string utc;  // "hh:mm:ss"
  bool operator==(const GpsFix&) const = default;
};

// RMC sentences ($GPRMC, $GNRMC, $BDRMC...), checksum checked when present,
// bounds-checked; the first valid RMC line of a multi-line text; nullopt for
// anything else or status V (void).
std::optional<GpsFix> parse_gps(std::string_view text);

// "北纬39.90421° 东经116.40739° 36km/h" (南纬/西经 for negative, 5 decimals,
// speed rounded), in the operator's language.
std::u16string gps_text(const GpsFix& fix);

inline constexpr std::u16string_view kNoPosition = u"无定位信息";
// gps_text of the device's text, or kNoPosition when it holds no fix.
std::u16string position_text(std::string_view raw);

}  // namespace model
