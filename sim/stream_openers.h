// How a simulated device's TCP session gets its stream connection once it
// has answered PLAY, and the connection helpers the openers share.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "device_rtsp.h"
#include "platform/clock.h"
#include "platform/net.h"

namespace orvsim {

// Connects to `to`, giving up at stop or after timeout_ms.
platform::Socket dial(const platform::SockAddr& to, const platform::StopSignal& stop,
                      int timeout_ms);

// A line of text (without its line end) from a socket, at most 256 bytes,
// read one byte at a time so nothing after it is consumed.
std::optional<std::string> read_line(SOCKET s, const platform::StopSignal& stop, int timeout_ms);

class StreamOpener {
 public:
  struct Offer {
    std::string ip;
    int port = 0;
  };
  virtual ~StreamOpener() = default;
  // Before the PLAY answer: the address and port the answer names.
  virtual std::optional<Offer> prepare(const TransportSpec& client, SOCKET control,
                                       const SessionUrl& url, platform::StopSignal& stop) = 0;
  // After the answer: the connected stream socket, or an invalid one.
  virtual platform::Socket obtain(platform::StopSignal& stop, int timeout_ms) = 0;
  virtual std::string describe() const = 0;
};

// The client connects to a listener the device opens for this PLAY.
std::unique_ptr<StreamOpener> listen_opener();
// The device dials the address of the PLAY's Transport line, or `fallback`
// when that names no usable address (the client's listener).
std::unique_ptr<StreamOpener> dial_opener(platform::SockAddr fallback);
// The device registers a stream with the relay, which names the port the
// client connects to and says "PAIRED" once it has.
std::unique_ptr<StreamOpener> relay_opener(platform::SockAddr relay);

}  // namespace orvsim
