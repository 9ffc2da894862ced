// The simulator's part in punched paths: the rendezvous server on the address
// responders, and the P2P data request ("realtime?i2c=..&tel=..&transmit=true",
// without the listen port every negotiation names), which
// names the rendezvous server, a session id and a random value in p2pInfo and
// starts a simulated device that punches towards the client for that session.
// Other "realtime?" requests go on to the handler registered before.
//
// A device of the fleet can refuse with "set p2p-error <detail>"; the reply
// is then MSGTYPE "Error" with that detail.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "addr_responder.h"
#include "fleet.h"
#include "handlers.h"
#include "p2p_device.h"
#include "rendezvous.h"

namespace orvsim {

class P2pService {
 public:
  using FleetSource = std::function<std::shared_ptr<const Fleet>()>;

  P2pService();
  ~P2pService();
  P2pService(const P2pService&) = delete;
  P2pService& operator=(const P2pService&) = delete;

  // Takes over "/realtime" for transmit requests, keeping the handler found there.
  void install(HandlerRegistry& handlers, FleetSource fleet);
  // Runs the rendezvous on the responders; the first one is the one p2pInfo names.
  void attach(const std::vector<AddrResponder*>& responders);
  // Stops every simulated device and the rendezvous.
  void stop();

  RendezvousServer& rendezvous() { return rendezvous_; }

  // Timing of the devices started from now on (tests shorten it); bind,
  // server, session and random value are filled per request.
  void set_device_template(const P2pDeviceOptions& options);
  // Devices started by transmit requests, oldest first.
  std::vector<std::shared_ptr<P2pDevice>> devices() const;

 private:
  HttpReply transmit(const HandlerContext& c, const Fleet& fleet);

  RendezvousServer rendezvous_;
  mutable std::mutex m_;
  std::vector<int> ports_;  // of the attached responders
  P2pDeviceOptions template_;
  std::vector<std::shared_ptr<P2pDevice>> devices_;
  std::uint32_t next_session_;
};

}  // namespace orvsim
