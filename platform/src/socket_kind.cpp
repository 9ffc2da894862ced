#include "platform/socket_kind.h"

#include <sys/socket.h>

namespace platform {

std::optional<SocketKind> socket_kind(SOCKET s) {
  if (s == INVALID_SOCKET) return std::nullopt;
  int type = 0;
  socklen_t len = sizeof type;
  if (::getsockopt(static_cast<int>(s), SOL_SOCKET, SO_TYPE, &type, &len) != 0) return std::nullopt;
  if (type == SOCK_STREAM) return SocketKind::stream;
  if (type == SOCK_DGRAM) return SocketKind::datagram;
  return SocketKind::other;
}

}  // namespace platform
