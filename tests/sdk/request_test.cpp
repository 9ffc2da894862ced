#include <gtest/gtest.h>

#include "control/request.h"

namespace velmo {
namespace {

TEST(SdkRequest, UnsafeCharactersAreRefused) {
  EXPECT_TRUE(url_text_safe(L"query?i2c=1&tel=2"));
  for (wchar_t bad : {L'\r', L'\n', L' ', L'\0', L'\t', wchar_t(0x7F)}) {
    std::wstring text = L"query?i2c=1";
    text += bad;
    EXPECT_FALSE(url_text_safe(text)) << int(bad);
  }
  EXPECT_TRUE(url_text_safe(L"\u4e2d\u6587"));
}

TEST(SdkRequest, UrlsAreFormattedAndSplit) {
  EXPECT_EQ(auth_url(L"10.0.0.1", 8080, L"123", L"139"),
            L"http://10.0.0.1:8080/query?i2c=123&tel=139");
  auto parts = split_url(L"http://host.example:81/alarm?i2c=1&tel=2");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->host, L"host.example");
  EXPECT_EQ(parts->port, 81);
  EXPECT_EQ(parts->object, L"/alarm?i2c=1&tel=2");
  for (const wchar_t* bad :
       {L"http://:80/x", L"http://h:0/x", L"http://h:65536/x", L"http://h/x", L"ftp://h:1/x",
        L"http://h:1", L"http://a b:1/x", L"http://h:-1/x", L"http://u@h:1/x"})
    EXPECT_FALSE(split_url(bad)) << bad;
}

TEST(SdkRequest, ContentLengthIsStrict) {
  EXPECT_EQ(parse_content_length(L"0"), 0);
  EXPECT_EQ(parse_content_length(L" 1234 "), 1234);
  EXPECT_FALSE(parse_content_length(L""));
  EXPECT_FALSE(parse_content_length(L"-1"));
  EXPECT_FALSE(parse_content_length(L"12a"));
  EXPECT_FALSE(parse_content_length(L"99999999999999999999999"));
}

TEST(SdkRequest, NegotiationKeysInOrder) {
  NegotiationQuery q;
  q.i2c = L"D1";
  q.tel = L"139";
  q.wan_ip = L"1.2.3.4";
  q.lan_ip = L"10.0.0.2";
  q.listen_port = 4000;
  q.drift_range = 65540;
  q.channel = 2;
  q.p2p_overtime = 300;
  q.p2p_repeat = 3;
  q.p2p_open = false;
  q.resolution = 2;
  q.image_type = 3;
  q.frame_rate = 25;
  q.bit_rate = 512;
  q.passwd = L"pw";
  EXPECT_EQ(negotiation_query(q),
            L"i2c=D1&tel=139&wan-ip=1.2.3.4&lan-ip=10.0.0.2&listen-port=4000"
            L"&p2p-port-drift-range=65540&channel=2&p2p-overtime=300&p2p-repeat=3"
            L"&p2p-open=false&img-resolution=d1&img-type=3&frame-rate=25&bits-rate=512"
            L"&passwd=pw&transmit=true");
  // Defaults leave out what is not positive or open, and odd values show.
  q.channel = -1;
  q.p2p_overtime = 0;
  q.p2p_repeat = -1;
  q.p2p_open = true;
  q.resolution = 3;
  q.frame_rate = -1;
  q.bit_rate = 0;
  q.passwd.reset();
  EXPECT_EQ(negotiation_query(q),
            L"i2c=D1&tel=139&wan-ip=1.2.3.4&lan-ip=10.0.0.2&listen-port=4000"
            L"&p2p-port-drift-range=65540&img-resolution=&img-type=3&frame-rate=10"
            L"&transmit=true");
  EXPECT_STREQ(resolution_text(-5), L"qcif");
  EXPECT_STREQ(resolution_text(1), L"cif");
}

TEST(SdkRequest, AudioDataCharactersCarryTheWholeBlock) {
  struct Case {
    std::string block;
    std::wstring chars;
  };
  const Case cases[] = {
      {"", L""},
      // Zero units are escaped, and what follows them travels too.
      {std::string("\0\0ab", 4), L"%00\u6261"},
      // A voice frame header: U+0100, U+0028, then its payload.
      {std::string("\x00\x01\x28\x00\x00\x00\x41\x00", 8), L"\u0100(%00A"},
      // An odd last byte pairs with the terminating zero.
      {std::string("A\0B", 3), L"AB"},
      // The query's own delimiters and escape character.
      {std::string("%\0&\0#\0+\0=\0", 10), L"%25%26%23%2B="},
      // Controls, blank and DEL stay themselves; CMorvic escapes them.
      {std::string("\n\0 \0\x7F\0", 6), L"\n \x7F"},
  };
  for (const Case& c : cases) EXPECT_EQ(audio_data_chars(c.block), c.chars) << c.block.size();
  // 1023 bytes fit with their zero; 1024 do not.
  std::string full(1023, 'x');
  auto chars = audio_data_chars(full);
  ASSERT_TRUE(chars);
  EXPECT_EQ(chars->size(), 512u);
  EXPECT_EQ(chars->back(), L'x');
  EXPECT_FALSE(audio_data_chars(std::string(1024, 'x')));
}

}  // namespace
}  // namespace velmo
