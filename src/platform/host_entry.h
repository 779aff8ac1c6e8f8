// The address the resolver hands out from gethostbyname's answer, the same
// on both platforms: the first one, and only when it is IPv4.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/last_error.h"

namespace orvanta {

// HostEntry is the platform's hostent; family its AF_INET.
template <typename HostEntry>
bool FirstIPv4Address(const HostEntry& entry, int family, uint32_t& address) {
  if (entry.h_addrtype != family || entry.h_length != sizeof address || entry.h_addr_list[0] == nullptr) {
    SetLastError(error::kWsaNoData);
    return false;
  }
  std::memcpy(&address, entry.h_addr_list[0], sizeof address);
  return true;
}

}  // namespace orvanta
