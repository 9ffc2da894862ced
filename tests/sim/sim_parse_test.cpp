// Pure helpers: request heads, raw queries, reply element edits.
#include <gtest/gtest.h>

#include "control_plane.h"
#include "faults.h"
#include "http_request.h"

namespace {

TEST(SimParse, QueryIsSplitRawWithoutDecoding) {
  auto q = orvsim::parse_query("i2c=a%20b&tel=&flag&=v&&x=1=2&i2c=second");
  ASSERT_EQ(q.items.size(), 6u);
  EXPECT_EQ(q.get("i2c"), "a%20b");  // the first of duplicates
  EXPECT_TRUE(q.has("tel"));
  EXPECT_EQ(q.get("tel"), "");
  EXPECT_TRUE(q.has("flag"));
  EXPECT_EQ(q.get(""), "v");
  EXPECT_EQ(q.get("x"), "1=2");
  EXPECT_FALSE(q.has("missing"));
}

TEST(SimParse, HeadEndAcceptsBothLineEnds) {
  EXPECT_EQ(orvsim::find_head_end("GET / HTTP/1.1\r\nA: b\r\n\r\nrest"), 24u);
  EXPECT_EQ(orvsim::find_head_end("GET / HTTP/1.1\nA: b\n\nrest"), 21u);
  EXPECT_FALSE(orvsim::find_head_end("GET / HTTP/1.1\r\nA: b\r\n"));
  EXPECT_FALSE(orvsim::find_head_end(""));
}

TEST(SimParse, RequestLineKeepsBlanksInsideTheTarget) {
  orvsim::HttpRequest r;
  ASSERT_EQ(orvsim::parse_request_head("GET /alarm?new_pwd=a b&x=1 HTTP/1.1\r\n\r\n", r),
            orvsim::HeadError::none);
  EXPECT_EQ(r.path, "/alarm");
  EXPECT_EQ(r.query, "new_pwd=a b&x=1");
  ASSERT_EQ(orvsim::parse_request_head("GET http://h:80/query?i2c=1 HTTP/1.1\r\n\r\n", r),
            orvsim::HeadError::none);
  EXPECT_EQ(r.path, "/query");
  EXPECT_EQ(r.query, "i2c=1");
  EXPECT_EQ(orvsim::parse_request_head("GET /\r\n\r\n", r), orvsim::HeadError::bad_request_line);
  EXPECT_EQ(orvsim::parse_request_head(" GET / HTTP/1.1\r\n\r\n", r),
            orvsim::HeadError::bad_request_line);
  EXPECT_EQ(orvsim::parse_request_head("GET / HTTP/1.1\r\n: v\r\n\r\n", r),
            orvsim::HeadError::bad_field);
}

TEST(SimParse, ElementEditsMatchWholeNamesOnly) {
  std::string xml = "<M><IP>1.2.3.4</IP><IPv4>5.6.7.8</IPv4><IP/><S><IP a=\"1\">x</IP></S></M>";
  EXPECT_EQ(orvsim::remove_element(xml, "IP"), "<M><IPv4>5.6.7.8</IPv4><S></S></M>");
  EXPECT_EQ(orvsim::replace_element_text(xml, "IP", "9"),
            "<M><IP>9</IP><IPv4>5.6.7.8</IPv4><IP>9</IP><S><IP a=\"1\">9</IP></S></M>");
  EXPECT_EQ(orvsim::remove_element(xml, "Absent"), xml);
  // Broken text is left as it is rather than cut at random.
  EXPECT_EQ(orvsim::remove_element("<IP>unclosed", "IP"), "<IP>unclosed");
}

TEST(SimParse, AudioValueIsReadBackIntoTheBlock) {
  struct Case {
    std::string data_buf, buflen;
    std::string bytes;
    bool bad;
  };
  const Case cases[] = {
      {"AB", "4", std::string("A\0B\0", 4), false},
      {"A%00%u0100%25", "7", std::string("A\0\0\0\0\x01%", 7), false},  // odd: padding dropped
      {"\xD6\xD0%0A", "4", std::string("\x2D\x4E\n\0", 4), false},      // CP936 run with a %XX
      {"%uD800%uDFFF", "4", std::string("\0\xD8\xFF\xDF", 4), false},   // lone surrogates
      {"AB", "6", std::string("A\0B\0", 4), true},                      // shorter than buflen
      {"ABC", "4", std::string("A\0B\0", 4), true},                     // more units than buflen
      {"%zz", "2", std::string("%\0zz", 4).substr(0, 2), true},         // bad escape kept
      {"%u12", "4", std::string("%\0u\0", 4), true},
      {"AB", "x", std::string("A\0B\0", 4), true},
  };
  for (const Case& c : cases) {
    const auto v = orvsim::decode_audio_value(c.data_buf, c.buflen);
    EXPECT_EQ(std::string(v.bytes.begin(), v.bytes.end()), c.bytes) << c.data_buf;
    EXPECT_EQ(v.bad, c.bad) << c.data_buf;
  }
}

}  // namespace
