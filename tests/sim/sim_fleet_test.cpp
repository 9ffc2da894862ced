// Fleet files: the demo fleet, the statements, and errors that name the line.
#include <gtest/gtest.h>

#include <set>

#include "fleet.h"

namespace {

using orvsim::ConnectType;

TEST(SimFleet, DemoFleetCoversEveryConnectType) {
  auto r = orvsim::load_fleet(ORVSIM_DEMO_FLEET);
  ASSERT_TRUE(r.ok()) << r.error;
  const auto& fleet = *r.fleet;
  EXPECT_GE(fleet.devices.size(), 3u);
  std::set<ConnectType> types;
  for (const auto& d : fleet.devices) {
    EXPECT_FALSE(d.channels.empty()) << d.i2c;
    for (const auto& c : d.channels) types.insert(c.connect);
  }
  EXPECT_EQ(types.size(), 4u);
  EXPECT_EQ(fleet.self_responders(), 2);
  std::string summary = orvsim::fleet_summary(fleet);
  EXPECT_NE(summary.find("client-monitor-middle-transfer"), std::string::npos);
  EXPECT_NE(summary.find(fleet.devices[0].tel), std::string::npos);
}

TEST(SimFleet, StatementsCommentsAndRawBytes) {
  auto r = orvsim::parse_fleet(
      "# fleet\r\n"
      "\n"
      "p2p-server 10.0.0.9 7001   # outside\n"
      "device \xC9\xE8\xB1\xB8 139#1 -\n"
      "  channel 3 client-monitor-p2p relay=10.0.0.2:9000 fps=25\n"
      "\tset name  Bus  No. 7  \n"
      "device 2 tel2 secret\n");
  ASSERT_TRUE(r.ok()) << r.error;
  const auto& f = *r.fleet;
  ASSERT_EQ(f.p2p_servers.size(), 1u);
  EXPECT_FALSE(f.p2p_servers[0].self);
  EXPECT_EQ(f.p2p_servers[0].port, 7001);
  EXPECT_EQ(f.self_responders(), 0);
  ASSERT_EQ(f.devices.size(), 2u);
  const auto* d = f.find("\xC9\xE8\xB1\xB8");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->tel, "139#1");  // '#' inside a word is not a comment
  EXPECT_EQ(d->password, "");
  ASSERT_NE(d->channel(3), nullptr);
  EXPECT_EQ(d->channel(3)->connect, ConnectType::client_monitor_p2p);
  EXPECT_EQ(d->channel(3)->options.at("relay"), "10.0.0.2:9000");
  EXPECT_EQ(d->settings.at("name"), "Bus  No. 7");
  EXPECT_EQ(d->channel(0), nullptr);
  EXPECT_EQ(f.find("2")->password, "secret");
  EXPECT_EQ(f.find("3"), nullptr);
}

TEST(SimFleet, EmptyFleetIsValid) {
  auto r = orvsim::parse_fleet("");
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.fleet->devices.empty());
  EXPECT_EQ(r.fleet->self_responders(), 1);
}

TEST(SimFleet, BadLinesNameTheirLine) {
  struct Case {
    std::string text;
    std::string error;
  } cases[] = {
      {"channel 0 client-monitor-direct\n", "line 1: channel before any device"},
      {"\n\ndevice 1 2\n", "line 3: expected \"device"},
      {"device 1 2 3\ndevice 1 4 5\n", "line 2: device 1 is listed twice"},
      {"device 1 2 3\nchannel 16 client-monitor-direct\n", "line 2: channel number must be 0-15"},
      {"device 1 2 3\nchannel x client-monitor-direct\n", "line 2: channel number"},
      {"device 1 2 3\nchannel 0 client-monitor-udp\n", "line 2: unknown connect type"},
      {"device 1 2 3\nchannel 0 monitor-client-direct\nchannel 0 client-monitor-p2p\n",
       "line 3: channel 0 of device 1 is listed twice"},
      {"device 1 2 3\nchannel 0 client-monitor-p2p fps\n", "line 2: expected key=value"},
      {"set name x\n", "line 1: set before any device"},
      {"device 1 2 3\nset name\n", "line 2: expected \"set"},
      {"p2p-server 10.0.0.300 7000\n", "line 1: p2p-server address"},
      {"p2p-server 10.0.0.3 70000\n", "line 1: p2p-server port"},
      {"p2p-server\n", "line 1: expected \"p2p-server"},
      {"devices 1 2 3\n", "line 1: unknown statement: devices"},
      {"device 1 2 3\n" + std::string("set a \0b\n", 9), "line 2: NUL byte"},
      {"device 1 2 \x01\n", "line 1: control character"},
  };
  for (const auto& k : cases) {
    auto r = orvsim::parse_fleet(k.text);
    EXPECT_FALSE(r.ok()) << k.text;
    EXPECT_EQ(r.error.rfind(k.error, 0), 0u) << "got: " << r.error << "\nfor: " << k.text;
  }
}

TEST(SimFleet, MissingFileIsAnError) {
  auto r = orvsim::load_fleet("/nonexistent/none.fleet");
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.error.find("/nonexistent/none.fleet"), std::string::npos);
}

TEST(SimFleet, ConnectTypeTextsRoundTrip) {
  for (auto t : {ConnectType::client_monitor_direct, ConnectType::monitor_client_direct,
                 ConnectType::client_monitor_p2p, ConnectType::client_monitor_middle_transfer})
    EXPECT_EQ(orvsim::parse_connect_type(orvsim::connect_type_text(t)), t);
  EXPECT_FALSE(orvsim::parse_connect_type("Client-Monitor-Direct"));
}

}  // namespace
