#include <netdb.h>
#include <sys/socket.h>

#include <mutex>

#include "platform/host_entry.h"
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
    return FirstIPv4Address(*entry, AF_INET, address);
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
