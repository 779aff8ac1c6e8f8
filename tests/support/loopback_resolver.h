// A resolver for tests: names ending in ".unresolvable" fail as unknown
// hosts (11001); every other name is 127.0.0.1. Each lookup is recorded.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "platform/host_resolver.h"
#include "platform/last_error.h"

namespace orvanta::test {

class LoopbackResolver : public HostResolver {
 public:
  bool Resolve(const char* host, uint32_t& address) override {
    asked.emplace_back(host);
    const std::string name(host);
    const std::string failing = ".unresolvable";
    if (name.size() >= failing.size() && name.compare(name.size() - failing.size(), failing.size(), failing) == 0) {
      SetLastError(error::kWsaHostNotFound);
      return false;
    }
    const uint8_t loopback[4] = {127, 0, 0, 1};  // network byte order
    std::memcpy(&address, loopback, sizeof address);
    return true;
  }
  std::vector<std::string> asked;
};

}  // namespace orvanta::test
