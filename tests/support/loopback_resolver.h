// A resolver for tests: names with ".unresolvable" in them fail as unknown
// hosts (11001), every other name is 127.0.0.1. Each lookup is recorded.
#pragma once

#include <string>
#include <vector>

#include "platform/host_resolver.h"
#include "platform/last_error.h"
#include "platform/udp_socket.h"

namespace orvanta::test {

class LoopbackResolver : public HostResolver {
 public:
  bool Resolve(const char* host, uint32_t& address) override {
    asked.emplace_back(host);
    if (asked.back().find(".unresolvable") != std::string::npos) {
      SetLastError(error::kWsaHostNotFound);
      return false;
    }
    return UdpSocket::ParseDottedQuad("127.0.0.1", address);
  }
  std::vector<std::string> asked;
};

}  // namespace orvanta::test
