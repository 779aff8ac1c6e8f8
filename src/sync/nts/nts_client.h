// Authenticated time from an "nts://HOST[:PORT]" entry of the server list:
// a key exchange with HOST on PORT (4460 by default) when no cookie is
// left, then one NTPv4 exchange carrying a cookie and the authenticator.
// Such an entry is never asked without NTS: any failure ends its query.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "sync/nts/key_exchange.h"
#include "sync/sntp_client.h"

namespace orvanta {

// True for an entry that asks for NTS ("nts://", any case).
bool IsNtsEntry(const std::string& entry);

// The host and key exchange port of an NTS entry; false when it is not
// "nts://HOST" or "nts://HOST:PORT" with a port of 1 to 65535.
bool ParseNtsEntry(const std::string& entry, std::string& host, uint16_t& port);

// Keeps what each key exchange granted, so later queries of the same entry
// spend cookies instead of a new exchange: the service keeps one client for
// its lifetime; "once" and "query" start afresh. Nothing is written to disk.
class NtsClient {
 public:
  // Extra trust anchors for the key exchange (a PEM file); empty: none.
  std::string trustFile;

  // Asks entry for the time over transport. Like SntpClient::Query: true
  // with reply filled in (authenticated set), else false with the reason in
  // the last-error value. A NAK is answered with one new key exchange.
  bool Query(SntpClient& transport, const std::string& entry, SntpReply& reply);

  // The address the last query reached or tried: the time server's, or the
  // key exchange's when it failed there; false when no name resolved.
  bool LastAddress(uint32_t& address) const;

 private:
  bool Exchange(SntpClient& transport, NtsAssociation& association, SntpReply& reply);

  std::map<std::string, NtsAssociation> associations_;
  bool addressKnown_ = false;
  uint32_t address_ = 0;
};

// Asks one entry of the server list: NTS entries through nts, others
// plainly on port. addressKnown and address as LastAddress tells.
bool AskServer(SntpClient& plain, NtsClient& nts, const std::string& entry, int port, SntpReply& reply,
               bool& addressKnown, uint32_t& address);

}  // namespace orvanta
