// CQuillon on reply bodies and settings files of the shapes the SDK reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "quillon/quillon.h"

namespace {

// Non-const char* arguments, as the interface takes them.
struct Name {
  std::string text;
  Name(const char* t) : text(t) {}  // NOLINT: implicit on purpose
  operator char*() { return text.data(); }
};

std::string query(CQuillon& x, Name name) {
  return x.Query(name, nullptr);
}
long number(CQuillon& x, Name name) {
  return x.QueryLng(name);
}
std::string attr(CQuillon& x, Name name, Name attribute) {
  return x.QueryAttr(name, attribute);
}
bool move_to(CQuillon& x, Name name) {
  return x.MoveTo(name);
}
DOMElement* move_next(CQuillon& x, Name name) {
  return x.MoveNext(name, nullptr, nullptr);
}

// An authentication reply with two P2P servers.
const char* const kPublicAddr =
    "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n"
    "<Response>\n"
    "  <MSGTYPE detail=\"ok\">PublicAddr</MSGTYPE>\n"
    "  <IP>203.0.113.7</IP>\n"
    "  <p2pSvrInf><IPv4>198.51.100.1</IPv4><Port>9000</Port></p2pSvrInf>\n"
    "  <p2pSvrInf><IPv4>198.51.100.2</IPv4><Port>9001</Port></p2pSvrInf>\n"
    "  <Note>a &amp; b &lt;c&gt; <![CDATA[raw <x>]]></Note>\n"
    "  <Name>\xD6\xD0\xCE\xC4</Name>\n"
    "</Response>\n";

class TempFile {
 public:
  explicit TempFile(const std::string& content) {
    path_ = std::filesystem::temp_directory_path() /
            ("quillon_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".xml");
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace

TEST(QuillonQuery, ElementsAnywhereAttributesAndAbsence) {
  CQuillon x;
  ASSERT_EQ(x.LoadXML(kPublicAddr, 0), 0);
  EXPECT_EQ(query(x, "MSGTYPE"), "PublicAddr");
  EXPECT_EQ(query(x, "IP"), "203.0.113.7");
  EXPECT_EQ(query(x, "IPv4"), "198.51.100.1");  // the first in document order
  EXPECT_EQ(number(x, "Port"), 9000);
  EXPECT_EQ(attr(x, "MSGTYPE", "detail"), "ok");
  EXPECT_EQ(attr(x, "MSGTYPE", "other"), "");
  EXPECT_EQ(attr(x, "Absent", "detail"), "");
  EXPECT_EQ(query(x, "Absent"), "");
  EXPECT_EQ(number(x, "Absent"), 16777215);
  EXPECT_EQ(query(x, "Name"), "\xD6\xD0\xCE\xC4");  // 8-bit text kept byte for byte
  EXPECT_EQ(query(x, "Note"), "a & b <c> raw <x>");
  Name parent("p2pSvrInf"), child("Port");
  EXPECT_EQ(x.Query(parent, child), "9000");
  EXPECT_EQ(x.Query(nullptr, nullptr), "");
  EXPECT_EQ(x.QueryAttr(parent, nullptr), "");
  // The explicit length counts; the text past it is not read.
  const std::string doc = "<a><b>1</b></a>trailing garbage";
  EXPECT_EQ(x.LoadXML(doc.c_str(), 15), 0);
  EXPECT_EQ(number(x, "b"), 1);
}

TEST(QuillonQuery, NumbersReadLikeAtol) {
  CQuillon x;
  ASSERT_EQ(x.LoadXML("<r><a> 42 </a><b>-7</b><c>12abc</c><d>abc</d><e/><f>0x10</f>"
                      "<g>99999999999999999999999</g><h>\n 5\n</h></r>",
                      0),
            0);
  EXPECT_EQ(number(x, "a"), 42);
  EXPECT_EQ(number(x, "b"), -7);
  EXPECT_EQ(number(x, "c"), 12);
  EXPECT_EQ(number(x, "d"), 0);
  EXPECT_EQ(number(x, "e"), 0);  // present but empty is not "absent"
  EXPECT_EQ(number(x, "f"), 0);
  EXPECT_EQ(number(x, "g"), std::numeric_limits<long>::max());
  EXPECT_EQ(number(x, "h"), 5);
  // Text around child elements is the element's own; the children's is not.
  ASSERT_EQ(x.LoadXML("<r>1<skip>9</skip>2</r>", 0), 0);
  EXPECT_EQ(number(x, "r"), 12);
}

TEST(QuillonQuery, BrokenDocumentsFailAndLeaveNothingBehind) {
  CQuillon x;
  for (const char* bad : {"", "   ", "just text", "<a>", "<a><b></a></b>", "<a attr=x/>", "</a>",
                          "<a>&bogus;</a><", "<?xml version=\"1.0\"?>", "<a><!-- </a>"}) {
    ASSERT_EQ(x.LoadXML(kPublicAddr, 0), 0);
    ASSERT_TRUE(move_to(x, "IP"));
    EXPECT_EQ(x.LoadXML(bad, 0), -1) << bad;
    EXPECT_EQ(query(x, "IP"), "") << bad;
    EXPECT_EQ(number(x, "Port"), 16777215) << bad;
    EXPECT_EQ(x.m_pCurElement, nullptr);
    EXPECT_FALSE(move_to(x, "IP"));
    EXPECT_EQ(move_next(x, "p2pSvrInf"), nullptr);
    EXPECT_EQ(x.GetXml(), "");
  }
  EXPECT_EQ(x.LoadXML(nullptr, 0), -1);
  EXPECT_EQ(x.LoadXML("<a/>", -1), -1);
  EXPECT_EQ(x.LoadXML(nullptr), 0);
}

TEST(QuillonWalk, MoveToMoveNextAndGetXmlIntoASecondReader) {
  CQuillon x;
  ASSERT_EQ(x.LoadXML(kPublicAddr, 0), 0);
  EXPECT_EQ(x.m_pCurElement, nullptr);
  EXPECT_EQ(x.GetXml(x.m_pCurElement), "");

  // The way the authentication walks its P2P servers.
  std::vector<std::pair<std::string, long>> servers;
  for (bool more = move_to(x, "p2pSvrInf"); more; more = move_next(x, "p2pSvrInf") != nullptr) {
    const std::string text = x.GetXml(x.m_pCurElement);
    CQuillon inner;
    ASSERT_EQ(inner.LoadXML(text.c_str(), static_cast<int>(text.size())), 0) << text;
    servers.emplace_back(query(inner, "IPv4"), number(inner, "Port"));
  }
  EXPECT_EQ(servers, (std::vector<std::pair<std::string, long>>{{"198.51.100.1", 9000},
                                                                {"198.51.100.2", 9001}}));
  // At the end the current element stays on the last one.
  EXPECT_EQ(move_next(x, "p2pSvrInf"), nullptr);
  EXPECT_EQ(x.GetXml(x.m_pCurElement),
            "<p2pSvrInf><IPv4>198.51.100.2</IPv4><Port>9001</Port></p2pSvrInf>");

  // From a fresh load MoveNext starts at the first match; a missing name
  // leaves the current element where it was.
  ASSERT_EQ(x.LoadXML(kPublicAddr, 0), 0);
  DOMElement* first = move_next(x, "p2pSvrInf");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, x.m_pCurElement);
  EXPECT_FALSE(move_to(x, "Nothing"));
  EXPECT_EQ(x.m_pCurElement, first);

  // Escapes survive the round trip.
  ASSERT_TRUE(move_to(x, "Note"));
  CQuillon note;
  ASSERT_EQ(note.LoadXML(x.GetXml(x.m_pCurElement).c_str(), 0), 0);
  EXPECT_EQ(query(note, "Note"), "a & b <c> raw <x>");

  // An element of another reader or a stale one is refused, not followed.
  EXPECT_EQ(x.GetXml(note.m_pCurElement), "");
  ASSERT_TRUE(move_to(note, "Note"));
  EXPECT_EQ(x.GetXml(note.m_pCurElement), "");
}

TEST(QuillonWalk, NestedElementsOfTheSameNameInDocumentOrder) {
  CQuillon x;
  ASSERT_EQ(x.LoadXML("<i n='1'><i n='2'><i n='3'/></i><j><i n='4'/></j></i>", 0), 0);
  std::string order;
  for (DOMElement* e = move_next(x, "i"); e; e = move_next(x, "i")) {
    CQuillon one;
    ASSERT_EQ(one.LoadXML(x.GetXml(e).c_str(), 0), 0);
    order += attr(one, "i", "n");
  }
  EXPECT_EQ(order, "1234");
}

TEST(QuillonFile, SettingsFileForm) {
  const TempFile udp(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<AdvancedCfg>\r\n"
      "  <MakeHoleInf><MaxTry>5</MaxTry><Interval>200</Interval></MakeHoleInf>\r\n"
      "  <Rtcp><HbInterval>8000</HbInterval></Rtcp>\r\n"
      "</AdvancedCfg>\r\n");
  CQuillon x;
  ASSERT_NE(x.LoadXML(udp.path().c_str()), 0);
  ASSERT_TRUE(move_to(x, "MakeHoleInf"));
  CQuillon hole;
  ASSERT_EQ(hole.LoadXML(x.GetXml(x.m_pCurElement).c_str(), 0), 0);
  EXPECT_EQ(number(hole, "MaxTry"), 5);
  EXPECT_EQ(number(hole, "Interval"), 200);
  EXPECT_EQ(number(x, "TimeOut"), 16777215);

  // The document text reloads to the same answers.
  CQuillon again;
  ASSERT_EQ(again.LoadXML(x.GetXml().c_str(), 0), 0);
  EXPECT_EQ(number(again, "HbInterval"), 8000);
  EXPECT_EQ(again.GetXml(), x.GetXml());

  // A file saved as UTF-16 with a byte-order mark is read too.
  std::string wide = "\xFF\xFE";
  for (char c : std::string("<c><RtspTimeOut>9000</RtspTimeOut></c>")) {
    wide += c;
    wide += '\0';
  }
  const TempFile utf16(wide);
  ASSERT_NE(x.LoadXML(utf16.path().c_str()), 0);
  EXPECT_EQ(number(x, "RtspTimeOut"), 9000);

  // Missing, unreadable and broken files fail and leave an empty reader.
  const TempFile broken("<AdvancedCfg><MaxTry>5</AdvancedCfg>");
  EXPECT_EQ(x.LoadXML(broken.path().c_str()), 0);
  EXPECT_EQ(number(x, "MaxTry"), 16777215);
  EXPECT_EQ(x.LoadXML("/nonexistent/dir/AdvancedCfg_TCP.xml"), 0);
  EXPECT_EQ(x.LoadXML(std::filesystem::temp_directory_path().string().c_str()), 0);
  EXPECT_EQ(x.LoadXML(""), 0);
}

TEST(QuillonQuery, DeepNestingDoesNotExhaustTheStack) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<a>";
  deep += "<v>7</v>";
  for (int i = 0; i < 200000; ++i) deep += "</a>";
  CQuillon x;
  ASSERT_EQ(x.LoadXML(deep.c_str(), 0), 0);
  EXPECT_EQ(number(x, "v"), 7);
  EXPECT_EQ(x.GetXml().size(), deep.size());
  ASSERT_TRUE(move_to(x, "v"));
  EXPECT_EQ(x.GetXml(x.m_pCurElement), "<v>7</v>");
}
