// The "query" role's work: ask servers and report what each answered, one
// line per server, without setting the clock or writing anything:
//   HOST ADDRESS offset=+0.000123 delay=0.000456 stratum=2 leap=0 [nts]
//   HOST ADDRESS error=CODE REASON IN WORDS      (ADDRESS "-" when unresolved)
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sync/nts/nts_client.h"
#include "sync/sntp_client.h"

namespace orvanta {

// The line of one server: the reply when answered is true, else the failure
// in lastError. address is in network byte order; addressKnown false prints "-".
std::string QueryLine(const std::string& host, bool addressKnown, uint32_t address, bool answered,
                      const SntpReply& reply, uint32_t lastError);

// Asks each host in order (NTS entries through nts, or a client of its own
// when there is none) and hands each line to print as it comes. Returns how
// many answered.
int QueryServers(SntpClient& client, const std::vector<std::string>& hosts, int port,
                 const std::function<void(const std::string& line)>& print, NtsClient* nts = nullptr);

}  // namespace orvanta
