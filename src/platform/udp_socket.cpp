#include "platform/udp_socket.h"

#include "platform/last_error.h"

namespace orvanta {

bool UdpSocket::Connect(const char* host, uint16_t port, HostResolver& resolver) {
  if (host == nullptr) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  uint32_t address = 0;
  if (!ParseDottedQuad(host, address) && !resolver.Resolve(host, address)) return false;
  return ConnectTo(address, port);
}

}  // namespace orvanta
