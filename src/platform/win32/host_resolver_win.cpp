#include <winsock.h>


#include "platform/host_entry.h"
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
    return FirstIPv4Address(*entry, AF_INET, address);
  }
};

}  // namespace

HostResolver& RealResolver() {
  static GethostbynameResolver resolver;
  return resolver;
}

}  // namespace orvanta
