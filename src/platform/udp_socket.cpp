#include "platform/udp_socket.h"

#include "platform/host_resolver.h"
#include "platform/last_error.h"

namespace orvanta {

bool UdpSocket::Connect(const char* host, uint16_t port) {
  if (host == nullptr) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  uint32_t address = 0;
  if (!ParseDottedQuad(host, address) && !SystemResolver().Resolve(host, address)) return false;
  return ConnectTo(address, port);
}

}  // namespace orvanta
