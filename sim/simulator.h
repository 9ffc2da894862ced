// The simulator as one object tests start in-process: the authentication
// server (HTTP), the UDP address responders, the request log, the fault plan
// and the fleet. start() returns once everything listens; ports are known then.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "addr_responder.h"
#include "control_plane.h"
#include "device_service.h"
#include "faults.h"
#include "fleet.h"
#include "handlers.h"
#include "http_server.h"
#include "p2p_service.h"
#include "request_log.h"

namespace orvsim {

struct SimulatorOptions {
  Fleet fleet;
  std::string bind_ip = "127.0.0.1";  // "0.0.0.0" serves every interface
  int http_port = 0;                  // 0: ephemeral
  int udp_port = 0;                   // port of the first responder; 0: ephemeral
  int idle_timeout_ms = 120000;
};

class Simulator {
 public:
  explicit Simulator(SimulatorOptions options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool start();
  void stop();
  bool running() const { return http_.running(); }
  const std::string& error() const { return error_; }

  int http_port() const { return http_.port(); }
  std::vector<int> udp_ports() const;
  AddrResponder& responder(std::size_t i) { return *responders_.at(i); }
  std::size_t responder_count() const { return responders_.size(); }

  HttpServer& http() { return http_; }
  RequestLog& log() { return log_; }
  FaultPlan& faults() { return faults_; }
  HandlerRegistry& handlers() { return handlers_; }
  ControlPlane& control() { return control_; }
  DeviceService& devices() { return devices_; }
  P2pService& p2p() { return p2p_; }

  // The fleet in force; replacing it takes effect for the next request.
  std::shared_ptr<const Fleet> fleet() const;
  void set_fleet(Fleet fleet);

  // One line: "orvsim ready: http 127.0.0.1:8080, udp 127.0.0.1:5000".
  std::string ready_line() const;

 private:
  void install_handlers();

  SimulatorOptions options_;
  std::string error_;
  RequestLog log_;
  FaultPlan faults_;
  HandlerRegistry handlers_;
  ControlPlane control_;
  HttpServer http_;
  std::vector<std::unique_ptr<AddrResponder>> responders_;
  mutable std::mutex fleet_m_;
  std::shared_ptr<const Fleet> fleet_;
  P2pService p2p_;  // after the responders: it lets go of them first
  DeviceService devices_;
};

}  // namespace orvsim
