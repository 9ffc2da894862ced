// The process-wide list of punched paths: one CUDP_CE per punched socket,
// found again by its socket handle. Entries are shared, so a path that one
// thread releases stays alive for another thread still using it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "pellin/pellin.h"

namespace velmo {

// Waits of the punching objects the library makes; tests shorten them.
CUDP_CE::Timing& p2p_timing();

// The first registered object whose socket is s, or null.
std::shared_ptr<CUDP_CE> p2p_find(unsigned int s);
void p2p_add(std::shared_ptr<CUDP_CE> object);
// Removes and hands out the object of s, or null.
std::shared_ptr<CUDP_CE> p2p_remove(unsigned int s);
std::size_t p2p_count();
// How many punching objects the library has opened so far.
std::size_t p2p_opened();

// Opens a punching object on any local port and punches; the socket, now
// registered, or INVALID_SOCKET with the object closed.
unsigned int make_hole(std::string_view svr_ip, int svr_port, std::uint32_t session,
                       const char* random, int max_try, int interval, int port_range);

// The P2P data reply of the authentication server.
struct P2pInfo {
  std::string ipv4;  // dotted p2p server address
  int port = 0;
  std::string random;
  std::uint32_t session = 0;
};
struct P2pReply {
  bool error = false;           // MSGTYPE "Error"
  std::string detail;           // its reason
  std::optional<P2pInfo> info;  // MSGTYPE "p2pInfo" with sane values
};
// nullopt when the body is not XML.
std::optional<P2pReply> read_p2p_reply(std::string_view body);

}  // namespace velmo
