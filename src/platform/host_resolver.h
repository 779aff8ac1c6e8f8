// Host name lookup: the one way a name becomes an IPv4 address. The SNTP
// client receives a resolver; app/ hands it the platform's own.
#pragma once

#include <cstdint>

namespace orvanta {

class HostResolver {
 public:
  virtual ~HostResolver() = default;
  // The first IPv4 address of host, in network byte order. False when the
  // name does not resolve, with the lookup's code in the last-error value
  // (11001 for "host not found").
  virtual bool Resolve(const char* host, uint32_t& address) = 0;
};

// The platform's resolver (gethostbyname).
HostResolver& RealResolver();

}  // namespace orvanta
