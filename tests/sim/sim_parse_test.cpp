// Pure helpers: request heads, raw queries, reply element edits.
#include <gtest/gtest.h>

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

}  // namespace
