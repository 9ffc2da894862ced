#include "model/gps.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace model;

namespace {

// "$" + body + "*" + its XOR checksum.
std::string sentence(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char cs[4];
  std::snprintf(cs, sizeof cs, "%02X", sum);
  return "$" + std::string(body) + "*" + cs;
}

struct Good {
  const char* name;
  std::string text;
  double latitude, longitude, speed_kmh, course_deg;
  const char* utc;
};

struct Bad {
  const char* name;
  std::string text;
};

}  // namespace

TEST(ModelGps, ReadsRmcSentencesOfEveryHemisphereAndTalker) {
  const Good cases[] = {
      // A receiver's sentence as printed, with its magnetic variation fields.
      {"north east", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
       48 + 7.038 / 60, 11 + 31.0 / 60, 22.4 * 1.852, 84.4, "12:35:19"},
      {"south west, GN",
       sentence("GNRMC,235959.50,A,3351.5000,S,15112.0000,W,0.0,359.9,010126,,,A"),
       -(33 + 51.5 / 60), -(151 + 12.0 / 60), 0, 359.9, "23:59:59"},
      {"BeiDou, no checksum, CRLF",
       "$BDRMC,080000.00,A,3954.2526,N,11624.4434,E,19.44,90.0,081226,,,A\r\n", 39 + 54.2526 / 60,
       116 + 24.4434 / 60, 19.44 * 1.852, 90, "08:00:00"},
      {"empty speed and course", sentence("GPRMC,000000,A,0000.0000,N,00000.0000,E,,,010100,,,A"),
       0, 0, 0, 0, "00:00:00"},
      {"first valid of several lines",
       sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") + "\n" +
           sentence("GPRMC,1,V,,,,,,,,,,N") + "\n" +
           sentence("GPRMC,101010,A,2307.7448,N,11315.8616,E,24.30,12.5,081226,,,A") + "\n" +
           sentence("GPRMC,111111,A,3113.8234,N,12128.4220,E,1.0,1.0,081226,,,A"),
       23 + 7.7448 / 60, 113 + 15.8616 / 60, 24.3 * 1.852, 12.5, "10:10:10"},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.name);
    const auto fix = parse_gps(c.text);
    ASSERT_TRUE(fix);
    EXPECT_NEAR(fix->latitude, c.latitude, 1e-9);
    EXPECT_NEAR(fix->longitude, c.longitude, 1e-9);
    EXPECT_NEAR(fix->speed_kmh, c.speed_kmh, 1e-9);
    EXPECT_NEAR(fix->course_deg, c.course_deg, 1e-9);
    EXPECT_EQ(fix->utc, c.utc);
  }
}

TEST(ModelGps, RefusesAnythingButAValidFix) {
  const std::string good = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,,A";
  ASSERT_TRUE(parse_gps(sentence(good)));
  std::string wrong_sum = sentence(good);
  wrong_sum.back() = wrong_sum.back() == '0' ? '1' : '0';
  const Bad cases[] = {
      {"empty", ""},
      {"garbage", "N31.2,E121.5"},
      {"binary", std::string("\0$\xff\xfe*", 5)},
      {"bad checksum", wrong_sum},
      {"checksum not hex", "$" + good + "*G1"},
      {"void status", sentence("GPRMC,123519,V,4807.038,N,01131.000,E,022.4,084.4,230394,,,N")},
      {"not RMC", sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")},
      {"truncated fields", sentence("GPRMC,123519,A,4807.038,N,01131.000")},
      {"truncated without checksum", "$GPRMC,123519,A,4807.0"},
      {"no hemisphere", sentence("GPRMC,123519,A,4807.038,,01131.000,E,022.4,084.4,230394,,,A")},
      {"wrong hemisphere letter",
       sentence("GPRMC,123519,A,4807.038,E,01131.000,N,022.4,084.4,230394,,,A")},
      {"latitude above 90", sentence("GPRMC,123519,A,9100.000,N,01131.000,E,1,1,230394,,,A")},
      {"longitude above 180", sentence("GPRMC,123519,A,4807.038,N,18100.000,E,1,1,230394,,,A")},
      {"minutes of 60", sentence("GPRMC,123519,A,4860.000,N,01131.000,E,1,1,230394,,,A")},
      {"huge latitude",
       sentence("GPRMC,123519,A,1" + std::string(400, '9') + ".0,N,01131.000,E,1,1,230394,,,A")},
      {"huge speed", sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1" + std::string(30, '0') +
                              ",1,230394,,,A")},
      {"negative speed", sentence("GPRMC,123519,A,4807.038,N,01131.000,E,-5,1,230394,,,A")},
      {"course 360", sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1,360,230394,,,A")},
      {"exponent", sentence("GPRMC,123519,A,4807.038,N,01131.000,E,1e3,1,230394,,,A")},
      {"bad time", sentence("GPRMC,246000,A,4807.038,N,01131.000,E,1,1,230394,,,A")},
      {"short time", sentence("GPRMC,1235,A,4807.038,N,01131.000,E,1,1,230394,,,A")},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(parse_gps(c.text));
  }
}

TEST(ModelGps, TextNamesTheHemispheres) {
  EXPECT_EQ(gps_text({39.904214, 116.407394, 36.4, 0, "08:00:00"}),
            u"北纬39.90421° 东经116.40739° 36km/h");
  EXPECT_EQ(gps_text({-33.8583, -151.2, 49.5, 0, ""}), u"南纬33.85830° 西经151.20000° 50km/h");
  EXPECT_EQ(gps_text({0, 0, 0, 0, ""}), u"北纬0.00000° 东经0.00000° 0km/h");
  EXPECT_EQ(position_text("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"),
            u"北纬48.11730° 东经11.51667° 41km/h");
  EXPECT_EQ(position_text(""), u"无定位信息");
  EXPECT_EQ(position_text("N31.2,E121.5"), u"无定位信息");
}
