// The reason for a failure in words, for the lines "query" prints and the
// records the log keeps: one short phrase per code the program reports.
#pragma once

#include <cstdint>

namespace orvanta {

const char* ReasonInWords(uint32_t code);

}  // namespace orvanta
