#include "p2p_service.h"

#include <random>

#include "xml_writer.h"

namespace orvsim {
namespace {

constexpr std::size_t kMaxDevices = 32;

HttpReply p2p_error(std::string_view detail) {
  return {200, error_reply(detail)};
}

}  // namespace

P2pService::P2pService() : next_session_(0x51000000u | (std::random_device{}() & 0xFFFFu)) {
  template_.lifetime_ms = 30000;
}

P2pService::~P2pService() {
  stop();
}

void P2pService::install(HandlerRegistry& handlers, FleetSource fleet) {
  auto previous = handlers.find("/realtime");
  handlers.add("/realtime", [this, fleet, previous](const HandlerContext& c) -> HttpReply {
    // Negotiations carry "transmit" too; only they name a listen port.
    if (c.params.get("transmit") == "true" && !c.params.has("listen-port"))
      return transmit(c, *fleet());
    if (previous && *previous) return (*previous)(c);
    return {404, error_reply("no handler")};
  });
}

void P2pService::attach(const std::vector<AddrResponder*>& responders) {
  rendezvous_.attach(responders);
  std::lock_guard lock(m_);
  ports_.clear();
  for (AddrResponder* r : responders) ports_.push_back(r->port());
}

void P2pService::stop() {
  std::vector<std::shared_ptr<P2pDevice>> devices;
  {
    std::lock_guard lock(m_);
    devices.swap(devices_);
    ports_.clear();
  }
  for (auto& d : devices) d->stop();
  rendezvous_.detach();
}

void P2pService::set_device_template(const P2pDeviceOptions& options) {
  std::lock_guard lock(m_);
  template_ = options;
}

std::vector<std::shared_ptr<P2pDevice>> P2pService::devices() const {
  std::lock_guard lock(m_);
  return devices_;
}

HttpReply P2pService::transmit(const HandlerContext& c, const Fleet& fleet) {
  const SimDevice* device = fleet.find(c.params.get("i2c"));
  if (!device || device->tel != c.params.get("tel")) return p2p_error("device not on line");
  if (auto it = device->settings.find("p2p-error"); it != device->settings.end())
    return p2p_error(it->second);

  P2pDeviceOptions options;
  std::shared_ptr<P2pDevice> oldest;
  {
    std::lock_guard lock(m_);
    if (ports_.empty()) return p2p_error("p2p server not running");
    options = template_;
    options.server = {c.local.ip, static_cast<std::uint16_t>(ports_.front())};
    options.session = next_session_++;
    std::erase_if(devices_, [](const auto& d) { return d->stats().finished; });
    if (devices_.size() >= kMaxDevices) {
      oldest = devices_.front();
      devices_.erase(devices_.begin());
    }
  }
  if (oldest) oldest->stop();
  options.bind = {c.local.ip, 0};
  options.random = "tx" + std::to_string(options.session);

  auto sim_device = std::make_shared<P2pDevice>();
  if (!sim_device->start(options)) return p2p_error("device cannot punch");
  {
    std::lock_guard lock(m_);
    devices_.push_back(sim_device);
  }
  XmlWriter xml;
  xml.open("Message").element("MSGTYPE", "p2pInfo").open("p2pInfo");
  xml.element("IPv4", options.server.ip_text());
  xml.element("Port", options.server.port);
  xml.element("RandomValue", options.random);
  xml.element("SessionId", static_cast<long long>(options.session));
  return {200, xml.finish()};
}

}  // namespace orvsim
