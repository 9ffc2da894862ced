#include <cstdio>

#include "stream_openers.h"

namespace orvsim {
namespace {

class RelayOpener : public StreamOpener {
 public:
  explicit RelayOpener(platform::SockAddr relay) : relay_(relay) {}
  std::optional<Offer> prepare(const TransportSpec&, SOCKET, const SessionUrl& url,
                               platform::StopSignal& stop) override {
    socket_ = dial(relay_, stop, 3000);
    if (!socket_) return std::nullopt;
    const std::string line =
        "DEVICE stream " + std::to_string(url.session) + " " + url.random + "\r\n";
    if (!platform::send_all(socket_.get(), line, 3000)) return std::nullopt;
    auto answer = read_line(socket_.get(), stop, 3000);
    int port = 0;
    if (!answer || std::sscanf(answer->c_str(), "PORT %d", &port) != 1 || port <= 0 || port > 65535)
      return std::nullopt;
    return Offer{relay_.ip_text(), port};
  }
  platform::Socket obtain(platform::StopSignal& stop, int timeout_ms) override {
    if (!socket_) return {};
    auto line = read_line(socket_.get(), stop, timeout_ms);
    if (!line || *line != "PAIRED") return {};
    return std::move(socket_);
  }
  std::string describe() const override { return "relay " + relay_.text(); }

 private:
  platform::SockAddr relay_;
  platform::Socket socket_;
};

}  // namespace

std::unique_ptr<StreamOpener> relay_opener(platform::SockAddr relay) {
  return std::make_unique<RelayOpener>(relay);
}

}  // namespace orvsim
