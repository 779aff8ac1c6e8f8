#include "platform/host_resolver.h"

#include <atomic>

namespace orvanta {

namespace {
std::atomic<HostResolver*> g_override{nullptr};
}

HostResolver& SystemResolver() {
  HostResolver* resolver = g_override.load();
  return resolver != nullptr ? *resolver : RealResolver();
}

ScopedResolverOverride::ScopedResolverOverride(HostResolver& resolver)
    : previous_(g_override.exchange(&resolver)) {}

ScopedResolverOverride::~ScopedResolverOverride() { g_override.store(previous_); }

}  // namespace orvanta
