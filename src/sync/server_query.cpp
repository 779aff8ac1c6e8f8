#include "sync/server_query.h"

#include <cstdio>

#include "platform/last_error.h"
#include "sync/failure_reasons.h"

namespace orvanta {

std::string QueryLine(const std::string& host, bool addressKnown, uint32_t address, bool answered,
                      const SntpReply& reply, uint32_t lastError) {
  char result[160];
  if (answered) {
    std::snprintf(result, sizeof result, "offset=%+.6f delay=%.6f stratum=%d leap=%d%s", reply.offset, reply.delay,
                  static_cast<int>(reply.stratum), static_cast<int>(reply.leapIndicator),
                  reply.authenticated ? " nts" : "");
  } else {
    std::snprintf(result, sizeof result, "error=%lu %s", static_cast<unsigned long>(lastError),
                  ReasonInWords(lastError));
  }
  return host + " " + AddressText(addressKnown, address) + " " + result;
}

int QueryServers(SntpClient& client, const std::vector<std::string>& hosts, int port,
                 const std::function<void(const std::string& line)>& print, NtsClient* nts) {
  NtsClient ownNts;
  NtsClient& authenticated = nts != nullptr ? *nts : ownNts;
  int answered = 0;
  for (const std::string& host : hosts) {
    SntpReply reply;
    uint32_t address = 0;
    bool known = false;
    const bool ok = AskServer(client, authenticated, host, port, reply, known, address);
    const uint32_t code = LastError();
    if (ok) ++answered;
    print(QueryLine(host, known, address, ok, reply, code));
  }
  return answered;
}

}  // namespace orvanta
