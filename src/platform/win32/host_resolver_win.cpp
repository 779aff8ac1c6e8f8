#include <winsock.h>

#include <cstring>

#include "platform/host_resolver.h"
#include "platform/last_error.h"

namespace orvanta {

namespace {

class GethostbynameResolver final : public HostResolver {
 public:
  bool Resolve(const char* host, uint32_t& address) override {
    // Winsock keeps the answer per thread, so no lock is needed here.
    const hostent* entry = gethostbyname(host);
    if (entry == nullptr) {
      SetLastError(static_cast<uint32_t>(WSAGetLastError()));
      return false;
    }
    if (entry->h_addrtype != AF_INET || entry->h_length != sizeof address ||
        entry->h_addr_list[0] == nullptr) {
      SetLastError(error::kWsaNoData);
      return false;
    }
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return true;
  }
};

}  // namespace

HostResolver& RealResolver() {
  static GethostbynameResolver resolver;
  return resolver;
}

}  // namespace orvanta
