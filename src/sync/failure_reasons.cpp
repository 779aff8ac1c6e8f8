#include "sync/failure_reasons.h"

#include <cstdio>

#include "platform/last_error.h"
#include "sync/sntp_errors.h"

namespace orvanta {

namespace {

struct Reason {
  uint32_t code;
  const char* words;
};

constexpr Reason kReasons[] = {
    {error::kWsaTimedOut, "no reply within 5 s"},
    {error::kWsaHostNotFound, "name not resolved"},
    {error::kWsaTryAgain, "name not resolved for now (try again)"},
    {error::kWsaNoRecovery, "name lookup failed"},
    {error::kWsaNoData, "name has no IPv4 address"},
    {error::kWsaConnectionReset, "port unreachable: no time server there"},
    {error::kWsaConnectionRefused, "connection refused"},
    {error::kWsaNetworkDown, "network down"},
    {error::kWsaNetworkUnreachable, "network unreachable"},
    {error::kWsaHostUnreachable, "host unreachable"},
    {error::kWsaMessageTooLong, "refused reply: longer than 68 bytes"},
    {error::kReplyTooShort, "refused reply: shorter than 48 bytes"},
    {error::kReplyNotServer, "refused reply: not from a server (mode)"},
    {error::kReplyUnsynchronized, "refused reply: server not synchronized (leap indicator 3)"},
    {error::kReplyKissOfDeath, "refused reply: kiss-o'-death, the server refuses to serve (stratum 0)"},
    {error::kReplyBadStratum, "refused reply: stratum above 15"},
    {error::kReplyBogusOriginate, "refused reply: does not answer our request (originate time)"},
    {error::kReplyZeroTimestamp, "refused reply: zero receive or transmit time"},
    {error::kReplyNegativeDelay, "refused reply: negative round-trip delay"},
    {error::kNtsBadEntry, "NTS: not a valid nts://HOST[:PORT] entry"},
    {error::kNtsTlsFailed, "NTS: TLS connection to the key exchange failed"},
    {error::kNtsCertificateNotTrusted, "NTS: certificate not trusted"},
    {error::kNtsKeMalformed, "NTS: malformed or unsupported key exchange answer"},
    {error::kNtsKeRefused, "NTS: key exchange refused by the server"},
    {error::kNtsNoCommonAlgorithm, "NTS: no protocol or algorithm in common"},
    {error::kNtsNoCookie, "NTS: key exchange gave no cookie"},
    {error::kNtsUnauthenticated, "NTS: reply not authenticated"},
    {error::kNtsNak, "NTS: server refused our cookie (NAK)"},
    {error::kNtsBadTrustFile, "NTS: nts_certificates file unreadable"},
    {error::kNtsNoCrypto, "NTS: cryptography unavailable in this build"},
    {error::kPrivilegeNotHeld, "clock refused: no right to set the clock"},
    {error::kAccessDenied, "access denied"},
    {error::kPathNotFound, "folder not found"},
    {error::kFileNotFound, "file not found"},
    {error::kNotEnoughMemory, "not enough memory"},
    {error::kInvalidParameter, "invalid parameter"},
};

}  // namespace

std::string AddressText(bool known, uint32_t address) {
  if (!known) return "-";
  const auto* octet = reinterpret_cast<const unsigned char*>(&address);  // network byte order
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", octet[0], octet[1], octet[2], octet[3]);
  return text;
}

const char* ReasonInWords(uint32_t code) {
  for (const Reason& reason : kReasons) {
    if (reason.code == code) return reason.words;
  }
  return "unexpected error";
}

}  // namespace orvanta
