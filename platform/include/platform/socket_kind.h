// What kind of socket a handle is, as the system reports it (the socket-level
// type option): a byte stream, datagrams, or something else.
#pragma once

#include <optional>

#include "platform/types.h"

namespace platform {

enum class SocketKind { stream, datagram, other };

// nullopt when the handle is not a socket or the query fails.
std::optional<SocketKind> socket_kind(SOCKET s);

}  // namespace platform
