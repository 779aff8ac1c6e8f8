// The NTS key exchange: a TLS 1.3 connection to HOST:PORT with the ALPN
// "ntske/1", the server's certificate checked against the system's roots and
// any extra trust anchors, one request, one answer, and the two keys the
// time packets are protected with, exported from the TLS session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_resolver.h"
#include "sync/nts/aes_siv.h"

namespace orvanta {

constexpr uint32_t kNtsKeTimeoutMs = 5000;

// What one key exchange yields for the time packets.
struct NtsAssociation {
  std::string ntpHost;  // where to ask for the time
  uint16_t ntpPort = 0;
  uint8_t clientKey[kSivKeySize] = {};  // client to server
  uint8_t serverKey[kSivKeySize] = {};  // server to client
  std::vector<std::vector<uint8_t>> cookies;
};

struct NtsKeTarget {
  std::string host;  // a name or a dotted quad; the certificate must be issued to it
  uint16_t port = 0;
  std::string trustFile;  // PEM file of extra trust anchors; empty: none
};

// True with association filled in; false with the reason in the last-error
// value (a resolver or socket code, 10060 when the server stops answering,
// or one of the NTS codes of sync/sntp_errors.h). address tells where the
// host resolved to, when addressKnown.
bool RunNtsKeyExchange(const NtsKeTarget& target, HostResolver& resolver, NtsAssociation& association,
                       bool& addressKnown, uint32_t& address);

}  // namespace orvanta
