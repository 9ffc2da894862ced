// The simulator's HTTP side against a bare client: kept-open connections, the
// authentication reply, every fault kind, the request log and a prompt stop.
#include <gtest/gtest.h>

#include <future>

#include "raw_client.h"
#include "simulator.h"

namespace {

using orvsim::Fault;
using simtest::RawClient;

// "设备7" in CP936: device ids may carry Chinese text, sent unencoded.
const std::string kChineseId =
    "\xC9\xE8\xB1\xB8"
    "7";

orvsim::Fleet test_fleet() {
  auto r = orvsim::parse_fleet(
      "p2p-server self\n"
      "p2p-server 10.1.2.3 7000\n"
      "p2p-server self\n"
      "device 1001 13900000001 pw1\n"
      "channel 0 client-monitor-direct\n"
      "device " +
      kChineseId +
      " 13900000002 pw2\n"
      "channel 1 client-monitor-p2p\n");
  EXPECT_TRUE(r.ok()) << r.error;
  return *r.fleet;
}

class SimHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    orvsim::SimulatorOptions options;
    options.fleet = test_fleet();
    sim = std::make_unique<orvsim::Simulator>(options);
    ASSERT_TRUE(sim->start()) << sim->error();
    ASSERT_GT(sim->http_port(), 0);
  }

  RawClient connected() {
    RawClient c;
    EXPECT_TRUE(c.connect(sim->http_port()));
    return c;
  }

  std::unique_ptr<orvsim::Simulator> sim;
};

const char* kQuery = "/query?i2c=1001&tel=13900000001";

TEST_F(SimHttp, KeepAliveServesSeveralRequestsOnOneConnection) {
  RawClient c = connected();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(c.get(kQuery));
    auto r = c.read_response();
    ASSERT_TRUE(r) << "request " << i;
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->field("Connection"), "keep-alive");
  }
  // Two requests in one segment are answered in order.
  ASSERT_TRUE(c.send(std::string("GET /query?i2c=nobody&tel=1 HTTP/1.1\r\n\r\n") + "GET " + kQuery +
                     " HTTP/1.1\r\n\r\n"));
  auto first = c.read_response();
  auto second = c.read_response();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->status, 404);
  EXPECT_EQ(second->status, 200);

  EXPECT_EQ(sim->http().accepted(), 1u);
  auto log = sim->log().entries();
  ASSERT_EQ(log.size(), 5u);
  for (std::size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].connection, log[0].connection);
    EXPECT_EQ(log[i].index_on_connection, i);
  }
}

TEST_F(SimHttp, ConnectionCloseAndHttp10AreHonoured) {
  RawClient c = connected();
  ASSERT_TRUE(c.send(std::string("GET ") + kQuery + " HTTP/1.1\r\nConnection: close\r\n\r\n"));
  auto r = c.read_response();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->field("Connection"), "close");
  EXPECT_TRUE(c.read_until_close());

  RawClient old = connected();
  ASSERT_TRUE(old.send(std::string("GET ") + kQuery + " HTTP/1.0\r\n\r\n"));
  ASSERT_TRUE(old.read_response());
  EXPECT_TRUE(old.read_until_close());
}

TEST_F(SimHttp, QueryAnswersPublicAddrWithCallerAndP2pServers) {
  RawClient c = connected();
  ASSERT_TRUE(c.get(kQuery));
  auto r = c.read_response();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_EQ(r->content_length, r->body.size());
  auto ports = sim->udp_ports();
  ASSERT_EQ(ports.size(), 2u);
  std::string expected =
      "<Message>\r\n"
      "  <MSGTYPE>PublicAddr</MSGTYPE>\r\n"
      "  <IP>127.0.0.1</IP>\r\n"
      "  <p2pSvrInf>\r\n"
      "    <IPv4>127.0.0.1</IPv4>\r\n"
      "    <Port>" +
      std::to_string(ports[0]) +
      "</Port>\r\n"
      "  </p2pSvrInf>\r\n"
      "  <p2pSvrInf>\r\n"
      "    <IPv4>10.1.2.3</IPv4>\r\n"
      "    <Port>7000</Port>\r\n"
      "  </p2pSvrInf>\r\n"
      "  <p2pSvrInf>\r\n"
      "    <IPv4>127.0.0.1</IPv4>\r\n"
      "    <Port>" +
      std::to_string(ports[1]) +
      "</Port>\r\n"
      "  </p2pSvrInf>\r\n"
      "</Message>\r\n";
  EXPECT_NE(r->body.find(expected), std::string::npos) << r->body;
  EXPECT_EQ(r->body.rfind("<?xml", 0), 0u);
}

TEST_F(SimHttp, QueryRefusesUnknownDeviceWrongTelAndMissingKeys) {
  RawClient c = connected();
  struct Case {
    const char* target;
    int status;
  } cases[] = {
      {"/query?i2c=9999&tel=13900000001", 404},
      {"/query?i2c=1001&tel=13900000002", 404},
      {"/query?i2c=1001", 400},
      {"/query", 400},
      {"/nothing?i2c=1001&tel=13900000001", 404},
  };
  for (const auto& k : cases) {
    ASSERT_TRUE(c.get(k.target));
    auto r = c.read_response();
    ASSERT_TRUE(r) << k.target;
    EXPECT_EQ(r->status, k.status) << k.target;
    EXPECT_NE(r->body.find("<MSGTYPE detail="), std::string::npos);
  }
  // The connection survives refusals.
  ASSERT_TRUE(c.get(kQuery));
  auto ok = c.read_response();
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 200);
}

TEST_F(SimHttp, RawCp936QueryValuesReachTheHandlerUndecoded) {
  RawClient c = connected();
  std::string target = "/query?i2c=" + kChineseId + "&tel=13900000002";
  ASSERT_TRUE(c.get(target));
  auto r = c.read_response();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  // Percent-encoded text is not decoded: it names another device.
  ASSERT_TRUE(c.get("/query?i2c=%C9%E8%B1%B87&tel=13900000002"));
  auto encoded = c.read_response();
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->status, 404);
  auto logged = sim->log().wait_for(0, 1000);
  ASSERT_TRUE(logged);
  EXPECT_EQ(logged->request.target, target);
}

TEST_F(SimHttp, RequestLogKeepsTheExactWireText) {
  RawClient c = connected();
  std::string request = std::string("GET ") + kQuery +
                        " HTTP/1.1\r\n"
                        "Accept: */*\r\n"
                        "User-Agent:   Morvic test  \r\n"
                        "Host: 127.0.0.1:80\r\n"
                        "\r\n";
  ASSERT_TRUE(c.send(request));
  ASSERT_TRUE(c.read_response());
  auto e = sim->log().wait_for(0, 2000);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->request.head, request);
  EXPECT_EQ(e->request.request_line, std::string("GET ") + kQuery + " HTTP/1.1");
  EXPECT_EQ(e->request.path, "/query");
  EXPECT_EQ(e->request.query, "i2c=1001&tel=13900000001");
  ASSERT_EQ(e->request.fields.size(), 3u);
  EXPECT_EQ(e->request.fields[1].name, "User-Agent");
  EXPECT_EQ(e->request.fields[1].value, "Morvic test");
  EXPECT_EQ(e->peer.ip, 0x7F000001u);
  EXPECT_TRUE(e->fault.empty());
  // A request that never comes gives up at the limit.
  EXPECT_FALSE(sim->log().wait_for(1, 50));
}

TEST_F(SimHttp, StatusFaultKeepsBodyAndConnection) {
  sim->faults().next(Fault::Status(503));
  RawClient c = connected();
  ASSERT_TRUE(c.get(kQuery));
  auto r = c.read_response();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 503);
  EXPECT_NE(r->body.find("PublicAddr"), std::string::npos);
  ASSERT_TRUE(c.get(kQuery));
  auto next = c.read_response();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);
  EXPECT_EQ(sim->log().wait_for(0, 1000)->fault, "status 503");
}

TEST_F(SimHttp, ElementFaultsRemoveOrChangeReplyElements) {
  sim->faults().next(Fault::MissingElement("IP"));
  sim->faults().next(Fault::MissingElement("p2pSvrInf"));
  sim->faults().next(Fault::WrongElement("MSGTYPE", "ConnectInfo"));
  RawClient c = connected();
  std::string bodies[3];
  for (auto& body : bodies) {
    ASSERT_TRUE(c.get(kQuery));
    auto r = c.read_response();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->content_length, r->body.size());
    body = r->body;
  }
  EXPECT_EQ(bodies[0].find("<IP>"), std::string::npos);
  EXPECT_NE(bodies[0].find("<IPv4>"), std::string::npos);
  EXPECT_EQ(bodies[1].find("p2pSvrInf"), std::string::npos);
  EXPECT_NE(bodies[1].find("<IP>127.0.0.1</IP>"), std::string::npos);
  EXPECT_NE(bodies[2].find("<MSGTYPE>ConnectInfo</MSGTYPE>"), std::string::npos);
}

TEST_F(SimHttp, ShortBodyPromisesMoreThanItSendsThenCloses) {
  sim->faults().next(Fault::ShortBody(10));
  RawClient c = connected();
  ASSERT_TRUE(c.get(kQuery));
  auto all = c.read_until_close();
  ASSERT_TRUE(all);
  std::size_t end = all->find("\r\n\r\n");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(all->size() - end - 4, 10u);
  std::size_t cl = all->find("Content-Length: ");
  ASSERT_NE(cl, std::string::npos);
  EXPECT_GT(std::stoul(all->substr(cl + 16)), 10u);
}

TEST_F(SimHttp, DropClosesWithoutAnswerAndNoContentLengthClosesAfterBody) {
  sim->faults().next(Fault::Drop());
  RawClient c = connected();
  ASSERT_TRUE(c.get(kQuery));
  auto nothing = c.read_until_close();
  ASSERT_TRUE(nothing);
  EXPECT_TRUE(nothing->empty());

  sim->faults().next(Fault::NoContentLength());
  RawClient d = connected();
  ASSERT_TRUE(d.get(kQuery));
  auto all = d.read_until_close();
  ASSERT_TRUE(all);
  EXPECT_EQ(all->find("Content-Length"), std::string::npos);
  EXPECT_NE(all->find("PublicAddr"), std::string::npos);
}

TEST_F(SimHttp, RawFaultSendsTheGivenAnswer) {
  sim->faults().next(Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi"));
  RawClient c = connected();
  ASSERT_TRUE(c.get(kQuery));
  auto r = c.read_response();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "hi");
}

TEST_F(SimHttp, StallAnswersNeverAndEndsWhenTheClientCloses) {
  sim->faults().next(Fault::Stall());
  {
    RawClient c = connected();
    ASSERT_TRUE(c.get(kQuery));
    ASSERT_TRUE(sim->log().wait_for(0, 2000));
    EXPECT_TRUE(c.quiet_for(200));
    EXPECT_TRUE(sim->http().wait_open_connections(1, 2000));
  }
  EXPECT_TRUE(sim->http().wait_open_connections(0, 5000));
}

TEST_F(SimHttp, PathFaultsCountDownAndNextFaultsComeFirst) {
  sim->faults().for_path("/query", Fault::Status(500), 2);
  sim->faults().for_path("/other", Fault::Drop());
  sim->faults().next(Fault::Status(601));
  RawClient c = connected();
  int statuses[4] = {};
  for (int& s : statuses) {
    ASSERT_TRUE(c.get(kQuery));
    auto r = c.read_response();
    ASSERT_TRUE(r);
    s = r->status;
  }
  EXPECT_EQ(statuses[0], 601);
  EXPECT_EQ(statuses[1], 500);
  EXPECT_EQ(statuses[2], 500);
  EXPECT_EQ(statuses[3], 200);
}

TEST_F(SimHttp, DelayedAnswerArrivesAfterwards) {
  sim->faults().next(Fault::Delay(100));
  RawClient c = connected();
  ASSERT_TRUE(c.get(kQuery));
  auto r = c.read_response();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
}

TEST_F(SimHttp, MalformedAndOversizedRequestsGetAnErrorAndAClose) {
  struct Case {
    std::string request;
    int status;
  } cases[] = {
      {"GARBAGE\r\n\r\n", 400},
      {"GET /query HTTP/2.0\r\n\r\n", 505},
      {"GET /query HTTP/1.1\r\nno colon here\r\n\r\n", 400},
      {"GET /query HTTP/1.1\r\nContent-Length: x\r\n\r\n", 400},
      {"GET /query HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n", 413},
      {"GET /query HTTP/1.1\r\nX: " + std::string(20000, 'a'), 431},
  };
  for (const auto& k : cases) {
    RawClient c = connected();
    ASSERT_TRUE(c.send(k.request));
    auto r = c.read_response();
    ASSERT_TRUE(r) << k.request.substr(0, 40);
    EXPECT_EQ(r->status, k.status) << k.request.substr(0, 40);
    EXPECT_TRUE(c.read_until_close());
  }
  // A request with a body is read whole, so the next one is found.
  RawClient c = connected();
  ASSERT_TRUE(c.send(std::string("GET ") + kQuery + " HTTP/1.1\r\nContent-Length: 4\r\n\r\nabcd" +
                     "\r\nGET " + kQuery + " HTTP/1.1\n\n"));
  auto first = c.read_response();
  auto second = c.read_response();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(second->status, 200);
  EXPECT_EQ(sim->log().wait_for(0, 1000)->request.body, "abcd");
}

TEST_F(SimHttp, StopIsPromptWithClientsConnectedAndHandlersWaiting) {
  std::promise<void> entered;
  sim->handlers().add("/wait", [&](const orvsim::HandlerContext& context) {
    entered.set_value();
    context.stop.sleep_for(600000);
    return orvsim::HttpReply{200, "late"};
  });
  sim->faults().for_path("/stall", Fault::Stall());
  RawClient idle = connected();
  RawClient stalled = connected();
  RawClient waiting = connected();
  ASSERT_TRUE(stalled.get("/stall"));
  ASSERT_TRUE(waiting.get("/wait"));
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_TRUE(sim->http().wait_open_connections(3, 2000));

  // Stop must not wait for the idle limit (120 s) or the handler (600 s).
  auto stopped = std::async(std::launch::async, [&] { sim->stop(); });
  ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(sim->running());
  EXPECT_TRUE(idle.read_until_close());
  EXPECT_TRUE(waiting.read_until_close());
  // Stopped means the port is free again for a restart.
  EXPECT_TRUE(sim->start()) << sim->error();
}

TEST(SimHttpStart, TwoSimulatorsRunSideBySideOnEphemeralPorts) {
  orvsim::Simulator a(orvsim::SimulatorOptions{});
  orvsim::Simulator b(orvsim::SimulatorOptions{});
  ASSERT_TRUE(a.start());
  ASSERT_TRUE(b.start());
  EXPECT_NE(a.http_port(), b.http_port());
  EXPECT_EQ(a.udp_ports().size(), 1u);  // no p2p-server lines: one responder of its own

  orvsim::SimulatorOptions taken;
  taken.http_port = a.http_port();
  orvsim::Simulator c(taken);
  EXPECT_FALSE(c.start());
  EXPECT_NE(c.error().find("bind"), std::string::npos);

  orvsim::SimulatorOptions bad;
  bad.bind_ip = "localhost";
  orvsim::Simulator d(bad);
  EXPECT_FALSE(d.start());
}

}  // namespace

namespace {

TEST(SimHttpServer, ConnectionsBeyondTheLimitGet503AndObserverSeesAnswers) {
  orvsim::HandlerRegistry handlers;
  orvsim::RequestLog log;
  orvsim::FaultPlan faults;
  handlers.add("/ping", [](const orvsim::HandlerContext&) {
    return orvsim::HttpReply{200, "pong"};
  });
  orvsim::HttpServer server(handlers, log, faults);
  std::promise<int> seen;
  server.set_observer([&](const orvsim::LoggedRequest& e, int status) {
    if (e.request.path == "/ping") seen.set_value(status);
  });
  orvsim::HttpServerOptions options;
  options.max_connections = 2;
  ASSERT_TRUE(server.start(options));

  RawClient a, b, c;
  ASSERT_TRUE(a.connect(server.port()));
  ASSERT_TRUE(b.connect(server.port()));
  ASSERT_TRUE(server.wait_open_connections(2, 3000));
  ASSERT_TRUE(c.connect(server.port()));
  auto refused = c.read_response();
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
  EXPECT_TRUE(c.read_until_close());

  ASSERT_TRUE(a.get("/ping"));
  auto r = a.read_response();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "pong");
  auto status = seen.get_future();
  ASSERT_EQ(status.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_EQ(status.get(), 200);
}

TEST(SimRequestLog, KeepsTheNewestEntriesAndCountsAll) {
  orvsim::RequestLog log(2);
  for (int i = 0; i < 3; ++i) {
    orvsim::LoggedRequest e;
    e.request.path = "/" + std::to_string(i);
    log.add(e);
  }
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(log.entries().size(), 2u);
  EXPECT_FALSE(log.wait_for(0, 0));
  ASSERT_TRUE(log.wait_for(2, 0));
  EXPECT_EQ(log.wait_for(2, 0)->request.path, "/2");
  auto found =
      log.wait_until([](const orvsim::LoggedRequest& e) { return e.request.path == "/1"; }, 0);
  ASSERT_TRUE(found);
  log.clear();
  EXPECT_EQ(log.size(), 0u);
}

}  // namespace
