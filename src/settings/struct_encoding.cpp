#include "settings/struct_encoding.h"

#include <cstring>
#include <vector>

namespace orvanta {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte spelled by two digits at text[at], or -1.
int HexByte(const std::string& text, size_t at) {
  const int high = HexValue(text[at]);
  const int low = HexValue(text[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

std::string EncodeStruct(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string text;
  text.reserve(2 * size + 2);
  unsigned sum = 0;
  for (size_t i = 0; i < size; ++i) {
    text += kHexDigits[bytes[i] >> 4];
    text += kHexDigits[bytes[i] & 0x0F];
    sum += bytes[i];
  }
  text += kHexDigits[(sum >> 4) & 0x0F];
  text += kHexDigits[sum & 0x0F];
  return text;
}

bool DecodeStruct(const std::string& text, void* data, size_t size) {
  if ((data == nullptr && size != 0) || text.size() != 2 * size + 2) return false;
  std::vector<unsigned char> bytes(size);
  unsigned sum = 0;
  for (size_t i = 0; i < size; ++i) {
    const int value = HexByte(text, 2 * i);
    if (value < 0) return false;
    bytes[i] = static_cast<unsigned char>(value);
    sum += bytes[i];
  }
  const int checksum = HexByte(text, 2 * size);
  if (checksum < 0 || static_cast<unsigned>(checksum) != (sum & 0xFF)) return false;
  if (size != 0) std::memcpy(data, bytes.data(), size);
  return true;
}

}  // namespace orvanta
