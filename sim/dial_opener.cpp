#include "stream_openers.h"

namespace orvsim {
namespace {

class DialOpener : public StreamOpener {
 public:
  explicit DialOpener(platform::SockAddr fallback) : target_(fallback) {}
  std::optional<Offer> prepare(const TransportSpec& client, SOCKET control, const SessionUrl&,
                               platform::StopSignal&) override {
    if (auto ip = platform::parse_dotted(client.ip); ip && *ip != 0 && client.port > 0)
      target_ = {*ip, static_cast<std::uint16_t>(client.port)};
    if (target_.port == 0) return std::nullopt;
    auto local = platform::local_address(control);
    if (!local) return std::nullopt;
    // The client connects nowhere for this stream; the answer names the
    // device's end of the control connection.
    return Offer{local->ip_text(), local->port};
  }
  platform::Socket obtain(platform::StopSignal& stop, int timeout_ms) override {
    return dial(target_, stop, timeout_ms);
  }
  std::string describe() const override { return "dial to " + target_.text(); }

 private:
  platform::SockAddr target_;
};

}  // namespace

std::unique_ptr<StreamOpener> dial_opener(platform::SockAddr fallback) {
  return std::make_unique<DialOpener>(fallback);
}

}  // namespace orvsim
