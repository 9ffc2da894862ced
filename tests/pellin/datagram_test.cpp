#include <gtest/gtest.h>

#include <vector>

#include "p2p_datagram.h"

namespace {

using pellin::Datagram;
using pellin::parse_datagram;
using Bytes = std::vector<std::uint8_t>;

TEST(PellinDatagram, RegisterCarriesSessionAndPaddedRandomValue) {
  auto reg = pellin::encode_register(0x01020304, "abc");
  ASSERT_TRUE(reg);
  Bytes want = {0, 0, 1, 2, 1, 2, 3, 4, 'a', 'b', 'c'};
  want.resize(40, 0);
  EXPECT_EQ(Bytes(reg->begin(), reg->end()), want);
  EXPECT_TRUE(pellin::encode_register(1, std::string(31, 'r')));
  EXPECT_FALSE(pellin::encode_register(1, std::string(32, 'r')));  // no room for the NUL
}

TEST(PellinDatagram, HeartBeatsAreBigEndian) {
  auto hb = pellin::encode_heart_beat(pellin::kHeartBeat, 0x01020304);
  EXPECT_EQ(Bytes(hb.begin(), hb.end()), (Bytes{0, 0, 1, 5, 1, 2, 3, 4}));
  auto back = pellin::encode_heart_beat(pellin::kHeartBeatBack, 0xA0B0C0D0);
  EXPECT_EQ(Bytes(back.begin(), back.end()), (Bytes{0, 0, 1, 6, 0xA0, 0xB0, 0xC0, 0xD0}));
  auto d = parse_datagram(back);
  EXPECT_EQ(d.kind, Datagram::Kind::heart_beat_back);
  EXPECT_EQ(d.session, 0xA0B0C0D0u);
}

TEST(PellinDatagram, PeerAddressAndWhatIsIgnored) {
  const Bytes peer = {0, 1, 1, 2, 10, 0, 0, 5, 0x1B, 0x58, 0xEE, 0xEE};  // 10.0.0.5:7000
  auto d = parse_datagram(peer);
  ASSERT_EQ(d.kind, Datagram::Kind::peer_addr);
  EXPECT_EQ(d.peer.text(), "10.0.0.5");
  EXPECT_EQ(d.peer.port, 7000);

  Bytes longer = peer;
  longer.push_back(0);
  Bytes beat9 = {0, 0, 1, 5, 1, 2, 3, 4, 0};
  Bytes other8 = {0, 0, 1, 7, 1, 2, 3, 4};
  Bytes peer_as_8 = {0, 1, 1, 2, 10, 0, 0, 5};
  for (const Bytes& b : {longer, beat9, other8, peer_as_8, Bytes{}, Bytes{0, 0, 1}})
    EXPECT_EQ(parse_datagram(b).kind, Datagram::Kind::none) << b.size();
}

}  // namespace
