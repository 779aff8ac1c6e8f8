// The text form of binary values in the settings file (the "INFO"/"last"
// time stamp), the same as the Windows profile functions' structure encoding:
// each byte in memory order as two upper-case hexadecimal digits, then two
// digits of the checksum, the low 8 bits of the sum of all bytes. 16 bytes
// make 34 characters; 2009-03-15 (Sunday) 00:03:57.894 as a SystemTime is
// "D907030000000F000000030039007E03AF".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

// Last-error codes of a structure read that finds nothing usable, as Windows
// reports them: no value, or a value of the wrong length (24); a value of the
// right length with a bad digit or a checksum that does not match (13).
constexpr uint32_t kStructErrorBadLength = 24;    // ERROR_BAD_LENGTH
constexpr uint32_t kStructErrorInvalidData = 13;  // ERROR_INVALID_DATA

std::string EncodeStruct(const void* data, size_t size);

// Fills data from text only when the text is exactly 2 * size + 2 hexadecimal
// digits (either case) and the checksum matches; otherwise returns false and
// leaves data untouched.
bool DecodeStruct(const std::string& text, void* data, size_t size);

}  // namespace orvanta
