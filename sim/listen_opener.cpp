#include <algorithm>

#include "session_common.h"
#include "stream_openers.h"

namespace orvsim {
namespace {

class ListenOpener : public StreamOpener {
 public:
  std::optional<Offer> prepare(const TransportSpec&, SOCKET control, const SessionUrl&,
                               platform::StopSignal&) override {
    auto local = platform::local_address(control);
    if (!local) return std::nullopt;
    listener_.reset(platform::tcp_socket());
    if (!listener_ || !platform::bind_socket(listener_.get(), {local->ip, 0}) ||
        !platform::listen_socket(listener_.get(), 1))
      return std::nullopt;
    auto bound = platform::local_address(listener_.get());
    if (!bound) return std::nullopt;
    return Offer{bound->ip_text(), bound->port};
  }
  platform::Socket obtain(platform::StopSignal& stop, int timeout_ms) override {
    const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(std::max(0, timeout_ms));
    while (listener_) {
      const std::uint64_t now = now_ms();
      const int left = now < deadline ? static_cast<int>(deadline - now) : 0;
      if (platform::wait_readable(listener_.get(), left, stop) != 1) break;
      platform::Socket s(platform::accept_socket(listener_.get()));
      if (s) {
        listener_.reset();  // one stream per PLAY
        return s;
      }
    }
    listener_.reset();
    return {};
  }
  std::string describe() const override { return "stream listener of the device"; }

 private:
  platform::Socket listener_;
};

}  // namespace

std::unique_ptr<StreamOpener> listen_opener() {
  return std::make_unique<ListenOpener>();
}

}  // namespace orvsim
