// The authentication request "query?i2c=..&tel=..": tells a known device's
// client its public address and lists the P2P servers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fleet.h"
#include "handlers.h"

namespace orvsim {

struct P2pServerAddress {
  std::string ip;
  int port = 0;
};

// The "PublicAddr" reply body.
std::string public_addr_reply(std::string_view caller_ip,
                              const std::vector<P2pServerAddress>& servers);

// The P2P servers of the fleet as a client of this connection reaches them:
// "self" entries take the address the client reached and the responders' ports in turn.
std::vector<P2pServerAddress> p2p_servers_for(const Fleet& fleet, const platform::SockAddr& local,
                                              const std::vector<int>& self_ports);

// 400 without i2c or tel, 404 for an unknown device or a phone number that
// does not match it, else 200 with the "PublicAddr" reply.
HttpReply answer_query(const HandlerContext& context, const Fleet& fleet,
                       const std::vector<int>& self_ports);

}  // namespace orvsim
