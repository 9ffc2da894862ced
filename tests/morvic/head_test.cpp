// The pure framing rules behind CMorvic: response heads, GET requests and their bytes.
#include <gtest/gtest.h>

#include <string>

#include "request_text.h"
#include "response_head.h"

using morvic::find_head_end;
using morvic::format_get_request;
using morvic::parse_response_head;

TEST(MorvicHead, ParsesStatusFieldsAndFraming) {
  const std::string text =
      "HTTP/1.1 200 OK\r\nServer: orv\r\ncontent-length:  42 \r\nX-Empty:\r\n\r\n";
  ASSERT_EQ(find_head_end(text), text.size());
  const auto head = parse_response_head(text);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->reason, "OK");
  ASSERT_NE(head->field("Content-Length"), nullptr);
  EXPECT_EQ(*head->field("CONTENT-LENGTH"), "42");
  EXPECT_EQ(*head->field("x-empty"), "");
  EXPECT_EQ(head->field("Missing"), nullptr);
  EXPECT_EQ(head->body_length(), 42u);
  EXPECT_FALSE(head->close);
}

TEST(MorvicHead, AcceptsLenientButUnambiguousForms) {
  // Bare LF line ends, an empty reason, a status outside the registered set.
  auto head = parse_response_head("HTTP/1.1 601\nContent-Length: 0\n\n");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 601);
  EXPECT_EQ(head->reason, "");
  // A folded value is joined with one space.
  head = parse_response_head("HTTP/1.1 200 OK\r\nX-Long: one\r\n  two\r\n\r\n");
  ASSERT_TRUE(head);
  EXPECT_EQ(*head->field("X-Long"), "one two");
  // A repeated length that agrees is one length.
  head = parse_response_head("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 3\r\n\r\n");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->body_length(), 3u);
  // HTTP/1.0 closes unless kept alive; "close" among other tokens is found.
  EXPECT_TRUE(parse_response_head("HTTP/1.0 200 OK\r\n\r\n")->close);
  EXPECT_FALSE(parse_response_head("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n\r\n")->close);
  EXPECT_TRUE(parse_response_head("HTTP/1.1 200 OK\r\nConnection: x, Close\r\n\r\n")->close);
  // Bodies without a length run to the close; some statuses have none.
  EXPECT_FALSE(parse_response_head("HTTP/1.1 200 OK\r\n\r\n")->body_length());
  EXPECT_FALSE(
      parse_response_head("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")->body_length());
  EXPECT_EQ(parse_response_head("HTTP/1.1 204 No Content\r\n\r\n")->body_length(), 0u);
  EXPECT_EQ(parse_response_head("HTTP/1.1 100 Continue\r\n\r\n")->body_length(), 0u);
}

TEST(MorvicHead, RefusesMalformedOrContradictoryHeads) {
  for (const char* bad : {
           "",
           "\r\n",
           "HTTP/1.1 200 OK",  // no line end
           "HTTP/2 200 OK\r\n\r\n",
           "HTTP/2.0 200 OK\r\n\r\n",
           "HTTP/1.1 20 OK\r\n\r\n",
           "HTTP/1.1 099 X\r\n\r\n",
           "HTTP/1.1 2000 OK\r\n\r\n",
           "HTTP/1.1  200 OK\r\n\r\n",
           "http/1.1 200 OK\r\n\r\n",
           "HTTP/1.1 200 OK\r\nNoColon\r\n\r\n",
           "HTTP/1.1 200 OK\r\n: empty name\r\n\r\n",
           "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n",
           "HTTP/1.1 200 OK\r\nName : x\r\n\r\n",
           "HTTP/1.1 200 OK\r\n folded first\r\n\r\n",
           "HTTP/1.1 200 OK\r\nX: a\rb\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: 0x10\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n",
           "HTTP/1.1 200 OK\r\n\r\nbody",
       }) {
    EXPECT_FALSE(parse_response_head(bad)) << bad;
  }
  EXPECT_FALSE(parse_response_head(std::string("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n", 27)));
}

TEST(MorvicHead, EndIsFoundHoweverTheBytesAreSplit) {
  const std::string text = "HTTP/1.1 200 OK\r\nA: 1\nB: 2\r\n\r\nBODY";
  const std::size_t whole = find_head_end(text);
  ASSERT_EQ(whole, text.size() - 4);
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    // Feed the first `cut` bytes, then the rest, resuming the scan.
    std::size_t end = find_head_end(std::string_view(text).substr(0, cut));
    if (end == 0) end = find_head_end(text, cut);
    EXPECT_EQ(end, whole) << "cut at " << cut;
  }
  for (std::size_t step = 1; step <= 3; ++step) {
    std::size_t scanned = 0, end = 0;
    for (std::size_t have = step; end == 0 && have < text.size() + step; have += step) {
      const std::string_view part = std::string_view(text).substr(0, have);
      end = find_head_end(part, scanned);
      scanned = part.size();
    }
    EXPECT_EQ(end, whole) << "step " << step;
  }
  EXPECT_EQ(find_head_end("HTTP/1.1 200 OK\r\nA: 1\r\n"), 0u);
}

TEST(MorvicRequest, GetTextIsExactAndRefusesBrokenFraming) {
  EXPECT_EQ(format_get_request("10.0.0.1", "/query?i2c=a&tel=1", 8080),
            "GET /query?i2c=a&tel=1 HTTP/1.1\r\nHost: 10.0.0.1:8080\r\n"
            "Connection: Keep-Alive\r\n\r\n");
  EXPECT_EQ(format_get_request("srv", "/x", 80),
            "GET /x HTTP/1.1\r\nHost: srv\r\nConnection: Keep-Alive\r\n\r\n");
  EXPECT_EQ(format_get_request("srv", "/x", 0),
            "GET /x HTTP/1.1\r\nHost: srv\r\nConnection: Keep-Alive\r\n\r\n");
  // Bytes of any code page pass through; so do characters a URL would encode.
  EXPECT_EQ(*format_get_request("srv", "/q?n=\xD6\xD0 %&#", 0),
            "GET /q?n=\xD6\xD0 %&# HTTP/1.1\r\nHost: srv\r\nConnection: Keep-Alive\r\n\r\n");
  for (auto [host, object] :
       std::initializer_list<std::pair<const char*, const char*>>{{"", "/x"},
                                                                  {"srv", ""},
                                                                  {"srv", "/x\r\nX: 1"},
                                                                  {"srv", "/x\n"},
                                                                  {"s\r\nv", "/x"},
                                                                  {"s v", "/x"},
                                                                  {"srv", "/x\t"}}) {
    EXPECT_FALSE(format_get_request(host, object, 0)) << host << " " << object;
  }
  EXPECT_FALSE(format_get_request("srv", std::string_view("/x\0y", 4), 0));
}

TEST(MorvicRequest, ObjectTextBecomesRequestLineBytes) {
  struct Case {
    std::wstring object;
    std::string bytes;
  };
  const Case cases[] = {
      // ASCII and the callers' own escapes pass untouched.
      {L"/query?i2c=1&tel=2%00%25", "/query?i2c=1&tel=2%00%25"},
      // Chinese text as its CP936 bytes, as before.
      {L"/a?v=\u4e2d\u6587", "/a?v=\xD6\xD0\xCE\xC4"},
      // Controls, blank and DEL as upper-case byte escapes.
      {std::wstring(L"/a?v=") + L'\x01' + L"\r\n\x1F \x7F", "/a?v=%01%0D%0A%1F%20%7F"},
      // No CP936 round trip: one escape per UTF-16 unit.
      {L"/a?v=\u0100\uABCD", "/a?v=%u0100%uABCD"},
      {std::wstring(L"/a?v=") + wchar_t(0xD800) + wchar_t(0xDFFF), "/a?v=%uD800%uDFFF"},
      {std::wstring(L"/a?v=") + wchar_t(0x1F600), "/a?v=%uD83D%uDE00"},
      {std::wstring(L"/a?v=") + wchar_t(0x110000), "/a?v=%uFFFD"},
  };
  for (const Case& c : cases) EXPECT_EQ(morvic::request_object_bytes(c.object), c.bytes);
}
