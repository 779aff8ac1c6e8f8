#include "sync/nts/nts_client.h"

#include <openssl/rand.h>

#include <cctype>
#include <cstdlib>

#include "platform/last_error.h"
#include "sync/nts/ke_records.h"
#include "sync/nts/nts_packet.h"
#include "sync/sntp_errors.h"

namespace orvanta {

namespace {

constexpr char kScheme[] = "nts://";
constexpr std::size_t kSchemeSize = sizeof kScheme - 1;
// Room for a reply that brings back a full set of the largest cookies.
constexpr std::size_t kNtsReplyCapacity = 16384;

bool Fail(uint32_t code) {
  SetLastError(code);
  return false;
}

}  // namespace

bool IsNtsEntry(const std::string& entry) {
  if (entry.size() < kSchemeSize) return false;
  for (std::size_t i = 0; i < kSchemeSize; ++i) {
    if (std::tolower(static_cast<unsigned char>(entry[i])) != kScheme[i]) return false;
  }
  return true;
}

bool ParseNtsEntry(const std::string& entry, std::string& host, uint16_t& port) {
  if (!IsNtsEntry(entry)) return false;
  const std::string rest = entry.substr(kSchemeSize);
  const std::size_t colon = rest.find(':');
  host = rest.substr(0, colon);
  port = kNtsKePort;
  if (host.empty() || host.find_first_of("/@ \t") != std::string::npos) return false;
  if (colon == std::string::npos) return true;
  const std::string digits = rest.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long value = std::strtoul(digits.c_str(), nullptr, 10);
  if (value == 0 || value > 0xFFFF) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool NtsClient::LastAddress(uint32_t& address) const {
  address = address_;
  return addressKnown_;
}

bool NtsClient::Query(SntpClient& transport, const std::string& entry, SntpReply& reply) {
  addressKnown_ = false;
  NtsKeTarget target;
  target.trustFile = trustFile;
  if (!ParseNtsEntry(entry, target.host, target.port)) return Fail(error::kNtsBadEntry);
  if (!SivAvailable()) return Fail(error::kNtsNoCrypto);

  // A NAK spends the association: one new key exchange, then the answer stands.
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto found = associations_.find(entry);
    if (found == associations_.end() || found->second.cookies.empty()) {
      NtsAssociation fresh;
      if (!RunNtsKeyExchange(target, transport.Resolver(), fresh, addressKnown_, address_)) {
        associations_.erase(entry);
        return false;
      }
      found = associations_.insert_or_assign(entry, std::move(fresh)).first;
    }
    if (Exchange(transport, found->second, reply)) return true;
    if (LastError() != error::kNtsNak) return false;
    associations_.erase(found);
  }
  return false;
}

bool NtsClient::Exchange(SntpClient& transport, NtsAssociation& association, SntpReply& reply) {
  // Every cookie is spent once, whatever comes back.
  const std::vector<uint8_t> cookie = association.cookies.back();
  association.cookies.pop_back();
  uint8_t uniqueId[kNtsUniqueIdSize], nonce[kNtsNonceSize];
  if (RAND_bytes(uniqueId, sizeof uniqueId) != 1 || RAND_bytes(nonce, sizeof nonce) != 1) {
    return Fail(error::kNtsNoCrypto);
  }
  // Placeholders ask for enough cookies to fill the store again.
  const std::size_t placeholders = kNtsMaxCookies - 1 - association.cookies.size();
  const auto build = [&](const NtpTimestamp& sent, std::vector<uint8_t>& request) {
    request = ClientRequest(sent, kNtpVersion4);
    if (SealNtsRequest(request, {uniqueId, &cookie, placeholders, association.clientKey, nonce})) return true;
    return Fail(error::kNtsNoCrypto);
  };

  std::vector<uint8_t> answer;
  NtpTimestamp sent;
  const bool exchanged = transport.Exchange(association.ntpHost.c_str(), association.ntpPort, build,
                                            kNtsReplyCapacity, answer, sent, reply.arrival);
  addressKnown_ = transport.LastAddress(address_);
  if (!exchanged) return false;
  // Nothing of the reply is believed before its authenticator verifies.
  std::vector<std::vector<uint8_t>> fresh;
  const uint32_t code = OpenNtsReply(answer.data(), answer.size(), uniqueId, association.serverKey, fresh);
  if (code != 0) return Fail(code);
  for (auto& granted : fresh) {
    if (association.cookies.size() < kNtsMaxCookies) association.cookies.push_back(std::move(granted));
  }
  if (!MeasureReply(answer, sent, reply.arrival, reply)) return false;
  reply.authenticated = true;
  return true;
}

bool AskServer(SntpClient& plain, NtsClient& nts, const std::string& entry, int port, SntpReply& reply,
               bool& addressKnown, uint32_t& address) {
  bool answered = false;
  if (IsNtsEntry(entry)) {
    answered = nts.Query(plain, entry, reply);
    addressKnown = nts.LastAddress(address);
  } else {
    answered = plain.Query(entry.c_str(), port, reply);
    addressKnown = plain.LastAddress(address);
  }
  return answered;
}

}  // namespace orvanta
