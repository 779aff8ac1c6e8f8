// Host name lookup: the one way a name becomes an IPv4 address. The real
// resolver asks the platform (gethostbyname); tests put their own in force.
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

// The resolver in force: the platform's own, or the innermost override.
HostResolver& SystemResolver();

// The platform's resolver.
HostResolver& RealResolver();

// Puts another resolver in force for the life of this object (tests).
class ScopedResolverOverride {
 public:
  explicit ScopedResolverOverride(HostResolver& resolver);
  ~ScopedResolverOverride();
  ScopedResolverOverride(const ScopedResolverOverride&) = delete;
  ScopedResolverOverride& operator=(const ScopedResolverOverride&) = delete;

 private:
  HostResolver* previous_;
};

}  // namespace orvanta
