#include "model/gps.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "model/i18n.h"

namespace model {
namespace {

constexpr double kKmhPerKnot = 1.852;
constexpr std::size_t kMaxField = 32;  // longer numbers are not a receiver's

std::vector<std::string_view> split(std::string_view s, char sep) {
  std::vector<std::string_view> out;
  for (;;) {
    const auto at = s.find(sep);
    out.push_back(s.substr(0, at));
    if (at == std::string_view::npos) return out;
    s.remove_prefix(at + 1);
  }
}

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// A plain unsigned decimal ("12", "12.5"); no sign, exponent or spaces.
std::optional<double> decimal(std::string_view s) {
  if (s.empty() || s.size() > kMaxField) return std::nullopt;
  const auto dot = s.find('.');
  if (!all_digits(s.substr(0, dot)) ||
      (dot != std::string_view::npos && dot + 1 < s.size() && !all_digits(s.substr(dot + 1))))
    return std::nullopt;
  double v = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

// ddmm.mmmm (deg_digits degree digits) with its hemisphere letter.
std::optional<double> angle(std::string_view value, std::string_view hemi, int deg_digits,
                            char positive, char negative, double limit) {
  if (hemi.size() != 1 || (hemi[0] != positive && hemi[0] != negative)) return std::nullopt;
  const auto dot = value.find('.');
  const std::size_t whole = dot == std::string_view::npos ? value.size() : dot;
  if (whole != static_cast<std::size_t>(deg_digits) + 2) return std::nullopt;
  const auto number = decimal(value);
  if (!number) return std::nullopt;
  const double deg = std::floor(*number / 100);
  const double minutes = *number - deg * 100;
  if (minutes >= 60) return std::nullopt;
  const double v = deg + minutes / 60;
  if (v > limit) return std::nullopt;
  return hemi[0] == negative ? -v : v;
}

std::optional<std::string> utc_of(std::string_view t) {
  if (t.size() < 6 || !all_digits(t.substr(0, 6))) return std::nullopt;
  if (t.size() > 6 &&
      (t[6] != '.' || (t.size() > 7 && !all_digits(t.substr(7))) || t.size() > kMaxField))
    return std::nullopt;
  const int h = (t[0] - '0') * 10 + (t[1] - '0');
  const int m = (t[2] - '0') * 10 + (t[3] - '0');
  const int s = (t[4] - '0') * 10 + (t[5] - '0');
  if (h > 23 || m > 59 || s > 60) return std::nullopt;  // 60: a leap second
  return std::string(t.substr(0, 2)) + ':' + std::string(t.substr(2, 2)) + ':' +
         std::string(t.substr(4, 2));
}

int hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<GpsFix> parse_line(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
  if (line.size() < 7 || line[0] != '$') return std::nullopt;
  std::string_view body = line.substr(1);
  if (const auto star = body.find('*'); star != std::string_view::npos) {
    const std::string_view cs = body.substr(star + 1);
    if (cs.size() != 2 || hex(cs[0]) < 0 || hex(cs[1]) < 0) return std::nullopt;
    unsigned sum = 0;
    for (char c : body.substr(0, star)) sum ^= static_cast<unsigned char>(c);
    if (sum != static_cast<unsigned>(hex(cs[0]) * 16 + hex(cs[1]))) return std::nullopt;
    body = body.substr(0, star);
  }
  const auto f = split(body, ',');
  // Talker (two letters) + "RMC"; time, status, lat, N/S, lon, E/W, knots,
  // course, date, then optional fields.
  if (f.size() < 10 || f[0].size() != 5 || f[0].substr(2) != "RMC") return std::nullopt;
  if (f[2] != "A") return std::nullopt;
  GpsFix fix;
  const auto utc = utc_of(f[1]);
  const auto lat = angle(f[3], f[4], 2, 'N', 'S', 90);
  const auto lon = angle(f[5], f[6], 3, 'E', 'W', 180);
  if (!utc || !lat || !lon) return std::nullopt;
  fix.utc = *utc;
  fix.latitude = *lat;
  fix.longitude = *lon;
  // Speed and course may be empty (standing still, no heading).
  if (!f[7].empty()) {
    const auto knots = decimal(f[7]);
    if (!knots || *knots > 10000) return std::nullopt;
    fix.speed_kmh = *knots * kKmhPerKnot;
  }
  if (!f[8].empty()) {
    const auto course = decimal(f[8]);
    if (!course || *course >= 360) return std::nullopt;
    fix.course_deg = *course;
  }
  return fix;
}

}  // namespace

std::optional<GpsFix> parse_gps(std::string_view text) {
  for (const auto line : split(text, '\n'))
    if (auto fix = parse_line(line)) return fix;
  return std::nullopt;
}

std::u16string gps_text(const GpsFix& fix) {
  // Digits only: each char widens to itself.
  const auto number = [](const char* format, double v) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, format, v);
    return std::u16string(buf, buf + std::max(0, std::min(n, static_cast<int>(sizeof buf) - 1)));
  };
  // One pattern per pair of hemispheres, so a translation can name them its way.
  const std::u16string_view pattern =
      fix.latitude < 0
          ? (fix.longitude < 0 ? u"南纬%1° 西经%2° %3km/h" : u"南纬%1° 东经%2° %3km/h")
          : (fix.longitude < 0 ? u"北纬%1° 西经%2° %3km/h" : u"北纬%1° 东经%2° %3km/h");
  return tx(pattern,
            {number("%.5f", std::fabs(fix.latitude)), number("%.5f", std::fabs(fix.longitude)),
             number("%.0f", std::round(fix.speed_kmh))});
}

std::u16string position_text(std::string_view raw) {
  const auto fix = parse_gps(raw);
  return fix ? gps_text(*fix) : tx(kNoPosition);
}

}  // namespace model
