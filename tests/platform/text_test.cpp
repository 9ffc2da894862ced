#include <gtest/gtest.h>

#include "platform/text.h"

using namespace platform;

namespace {

// "监控客户端" in GBK, written out byte by byte from the code page table.
const std::string kGbk = "\xBC\xE0\xBF\xD8\xBF\xCD\xBB\xA7\xB6\xCB";
const std::wstring kWide = L"\u76D1\u63A7\u5BA2\u6237\u7AEF";

TEST(Text, Cp936BothWaysWithChinese) {
  EXPECT_EQ(cp936_from_wide(kWide), kGbk);
  EXPECT_EQ(wide_from_cp936(kGbk), kWide);
  EXPECT_EQ(cp936_from_u16(u"\u76D1\u63A7ab1"), "\xBC\xE0\xBF\xD8" "ab1");
  EXPECT_EQ(u16_from_cp936("\xBC\xE0\xBF\xD8" "ab1"), u"\u76D1\u63A7ab1");
  EXPECT_EQ(cp936_from_wide(L""), "");
}

TEST(Text, Cp936ReplacesWhatItCannotConvert) {
  // A lone lead byte at the end and a character outside GBK.
  EXPECT_EQ(wide_from_cp936("ab\xBC"), L"ab?");
  EXPECT_EQ(cp936_from_wide(L"a\U0001F600b"), "a?b");
}

TEST(Text, Latin1IsOneBytePerCharacter) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  auto wide = u16_from_latin1(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(wide[0xE9], u'\u00E9');
  EXPECT_EQ(latin1_from_u16(wide), all);
  EXPECT_EQ(latin1_from_u16(u"\u76D1x"), "?x");
  EXPECT_EQ(latin1_from_wide(wide_from_latin1(all)), all);
}

TEST(Text, Utf16LeBytesAndSurrogates) {
  std::u16string text = u"A\u76D1\U0001F600";
  std::string bytes = utf16le_bytes(text);
  ASSERT_EQ(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("A\0\xD1\x76", 4));
  EXPECT_EQ(u16_from_utf16le(bytes), text);
  EXPECT_EQ(u16_from_utf16le(bytes + "x"), text);  // odd byte dropped
  EXPECT_EQ(wide_from_u16(text), L"A\u76D1\U0001F600");
  EXPECT_EQ(u16_from_wide(L"A\u76D1\U0001F600"), text);
}

TEST(Text, Utf8RoundTripAndMalformedInput) {
  EXPECT_EQ(utf8_from_wide(kWide), "\xE7\x9B\x91\xE6\x8E\xA7\xE5\xAE\xA2\xE6\x88\xB7\xE7\xAB\xAF");
  EXPECT_EQ(wide_from_utf8(utf8_from_wide(kWide)), kWide);
  EXPECT_EQ(wide_from_utf8("a\xC0\x80z"), L"a??z");  // overlong NUL
  EXPECT_EQ(wide_from_utf8("\xE7\x9B"), L"??");       // truncated
  EXPECT_EQ(utf8_from_u16(u"\xD800x"), "?x");         // lone surrogate
}

}  // namespace
