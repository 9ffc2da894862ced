#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtsp_text.h"

namespace {

using tarvic::field_value;
using tarvic::HeaderCollector;
using tarvic::next_line;
using tarvic::status_code;

struct Collected {
  std::string text;
  bool cut = false;
};

Collected collect(const std::string& bytes) {
  std::vector<char> buf(tarvic::kBufferSize);
  HeaderCollector c(buf);
  for (char b : bytes)
    if (c.push(b)) break;
  return {c.complete() ? std::string(buf.data(), c.size()) : std::string(), c.cut()};
}

TEST(TarvicParse, HeaderEndsAtBlankLineAndLeavesTheBody) {
  auto h = collect("RTSP/1.0 200 OK\r\nSession: 12\r\n\r\nBODY");
  EXPECT_EQ(h.text, "RTSP/1.0 200 OK\r\nSession: 12\r\n\r\n");
  EXPECT_FALSE(h.cut);
  // A bare LF LF is not the end; the header runs on.
  EXPECT_EQ(collect("RTSP/1.0 200 OK\n\nx").text, "");
}

TEST(TarvicParse, LongHeaderIsCutAt1024Bytes) {
  auto h = collect("RTSP/1.0 404 Nope\r\nX: " + std::string(1500, 'a'));
  EXPECT_EQ(h.text.size(), 1024u);
  EXPECT_TRUE(h.cut);
  EXPECT_EQ(status_code(h.text), 404);
  // A blank line that ends exactly at byte 1024 is a whole header.
  std::string exact = "RTSP/1.0 200 OK\r\nP: ";
  exact += std::string(1024 - exact.size() - 4, 'b') + "\r\n\r\n";
  auto e = collect(exact + "tail");
  EXPECT_EQ(e.text, exact);
  EXPECT_FALSE(e.cut);
}

TEST(TarvicParse, StatusCodeReadsOffsetsNineToEleven) {
  EXPECT_EQ(status_code("RTSP/1.0 200 OK\r\n"), 200);
  EXPECT_EQ(status_code("RTSP/1.0 45"), 45);
  EXPECT_EQ(status_code("RTSP/1.0 2x0 OK"), 2);
  EXPECT_EQ(status_code("RTSP/1.0  -7"), -7);
  EXPECT_EQ(status_code("RTSP/1.0 OK"), 0);
  EXPECT_EQ(status_code("RTSP/1.0"), 0);
  EXPECT_EQ(status_code(""), 0);
}

TEST(TarvicParse, FieldsAndStatusLine) {
  const std::wstring h = L"RTSP/1.0 200 OK\r\nSession: 12\r\nCSeq: 4\r\n\r\n";
  EXPECT_EQ(field_value(h, L"Session"), L"12");
  EXPECT_EQ(field_value(h, L"RTSP/1.0"), L"200 OK");
  EXPECT_EQ(field_value(h, L"CSeq"), L"4");
  EXPECT_FALSE(field_value(h, L"Transport"));
  EXPECT_FALSE(field_value(h, L"session"));  // case matters
  // First occurrence, plain substring: "X-Session:" holds "Session:".
  EXPECT_EQ(field_value(L"X-Session: 1\r\nSession: 2\r\n", L"Session"), L"1");
  // Exactly one character after the colon is skipped, blank or not.
  EXPECT_EQ(field_value(L"Session:12\r\n", L"Session"), L"2");
  EXPECT_EQ(field_value(L"Session:  12\r\n", L"Session"), L" 12");
  // Without a line end the value runs to the end; a key at the very end is empty.
  EXPECT_EQ(field_value(L"Session: 99", L"Session"), L"99");
  EXPECT_EQ(field_value(L"Session:", L"Session"), L"");
  EXPECT_EQ(field_value(L"Session: \r\n", L"Session"), L"");
}

TEST(TarvicParse, LinesComeInTurnThenTheCursorWrapsAround) {
  const std::string h = "RTSP/1.0 200 OK\r\nSession: 12\r\n\r\n";
  int cursor = 0;
  char line[64];
  std::vector<std::string> got;
  for (int n; (n = next_line(h, cursor, line, sizeof line)) >= 0;) got.emplace_back(line, n);
  EXPECT_EQ(got, (std::vector<std::string>{"RTSP/1.0 200 OK\r\n", "Session: 12\r\n", "\r\n"}));
  EXPECT_EQ(cursor, 0);
  // A small destination takes the line in pieces; nothing is written past size.
  char small[5] = {'#', '#', '#', '#', '#'};
  EXPECT_EQ(next_line(h, cursor, small, 4), 4);
  EXPECT_EQ(std::string(small, 5), "RTSP#");
  EXPECT_EQ(cursor, 4);
  EXPECT_EQ(next_line(h, cursor, nullptr, 4), -1);
  EXPECT_EQ(next_line(h, cursor, small, 0), -1);
  EXPECT_EQ(cursor, 4);
  // A last line without '\n' ends at the header's end.
  cursor = 0;
  EXPECT_EQ(next_line("ab", cursor, line, sizeof line), 2);
  EXPECT_EQ(next_line("ab", cursor, line, sizeof line), -1);
}

TEST(TarvicParse, SessionRequestTextHasNoBlankAfterUserAgentColon) {
  const std::wstring r = tarvic::session_request(L"PLAY", 4, L"u", 3);
  EXPECT_NE(r.find(L"\r\nUser-Agent:Mozilla/"), std::wstring::npos);
  EXPECT_NE(r.find(L"\r\nCSeq: 4\r\n"), std::wstring::npos);
}

}  // namespace
