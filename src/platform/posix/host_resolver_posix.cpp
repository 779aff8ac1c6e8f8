#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <mutex>

#include "platform/host_resolver.h"
#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"

namespace orvanta {

namespace {

class GethostbynameResolver final : public HostResolver {
 public:
  bool Resolve(const char* host, uint32_t& address) override {
    // gethostbyname answers in storage shared by the process: one lookup at
    // a time, and the address copied out before the lock is released.
    std::lock_guard<std::mutex> lock(mutex_);
    const hostent* entry = gethostbyname(host);
    if (entry == nullptr) {
      SetLastError(posix::TranslateResolverError(h_errno));
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

 private:
  std::mutex mutex_;
};

}  // namespace

HostResolver& RealResolver() {
  static GethostbynameResolver resolver;
  return resolver;
}

}  // namespace orvanta
