// The 16-bit network-order integers of the NTS records and extension fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvanta {

inline uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

inline void Append16(std::vector<uint8_t>& out, std::size_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

}  // namespace orvanta
