// The reason for a failure in words, for the lines "query" prints and the
// records the log keeps: one short phrase per code the program reports.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

const char* ReasonInWords(uint32_t code);

// An IPv4 address (network byte order) as a dotted quad, or "-" when the
// name it stands for did not resolve.
std::string AddressText(bool known, uint32_t address);

}  // namespace orvanta
