#include "simulator.h"

#include "auth_server.h"

namespace orvsim {

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)),
      http_(handlers_, log_, faults_),
      fleet_(std::make_shared<const Fleet>(options_.fleet)) {
  install_handlers();
}

Simulator::~Simulator() {
  stop();
}

std::shared_ptr<const Fleet> Simulator::fleet() const {
  std::lock_guard lock(fleet_m_);
  return fleet_;
}

void Simulator::set_fleet(Fleet fleet) {
  auto next = std::make_shared<const Fleet>(std::move(fleet));
  std::lock_guard lock(fleet_m_);
  fleet_ = std::move(next);
}

std::vector<int> Simulator::udp_ports() const {
  std::vector<int> ports;
  for (const auto& r : responders_) ports.push_back(r->port());
  return ports;
}

void Simulator::install_handlers() {
  handlers_.add("/query", [this](const HandlerContext& context) {
    return answer_query(context, *fleet(), udp_ports());
  });
  p2p_.install(handlers_, [this] { return fleet(); });
  // After the P2P service: negotiations are ours, its P2P data requests pass on.
  control_.install(
      handlers_, [this] { return fleet(); }, [this] { return udp_ports(); }, &devices_.log());
  // Last: the devices see every negotiation reply and fill in their ports.
  devices_.install(handlers_, [this] { return fleet(); });
}

bool Simulator::start() {
  stop();
  error_.clear();
  auto ip = platform::parse_dotted(options_.bind_ip);
  if (!ip) {
    error_ = "bind address is not a dotted IPv4 address: " + options_.bind_ip;
    return false;
  }
  if (options_.http_port < 0 || options_.http_port > 65535 || options_.udp_port < 0 ||
      options_.udp_port > 65535) {
    error_ = "ports must be 0-65535";
    return false;
  }

  int count = fleet()->self_responders();
  for (int i = 0; i < count; ++i) {
    auto responder = std::make_unique<AddrResponder>();
    int port = i == 0 ? options_.udp_port : 0;
    if (!responder->start({*ip, static_cast<std::uint16_t>(port)})) {
      error_ = responder->error();
      stop();
      return false;
    }
    responders_.push_back(std::move(responder));
  }
  std::vector<AddrResponder*> served;
  for (auto& r : responders_) served.push_back(r.get());
  p2p_.attach(served);
  if (!devices_.start(options_.bind_ip)) {
    error_ = devices_.error();
    stop();
    return false;
  }

  HttpServerOptions http;
  http.bind = {*ip, static_cast<std::uint16_t>(options_.http_port)};
  http.idle_timeout_ms = options_.idle_timeout_ms;
  if (!http_.start(http)) {
    error_ = http_.error();
    stop();
    return false;
  }
  return true;
}

void Simulator::stop() {
  http_.stop();
  devices_.stop();
  p2p_.stop();
  for (auto& r : responders_) r->stop();
  responders_.clear();
}

std::string Simulator::ready_line() const {
  std::string line = "orvsim ready: http " + options_.bind_ip + ":" + std::to_string(http_port());
  line += ", udp";
  bool first = true;
  for (int port : udp_ports()) {
    line += first ? " " : ", ";
    line += options_.bind_ip + ":" + std::to_string(port);
    first = false;
  }
  return line;
}

}  // namespace orvsim
