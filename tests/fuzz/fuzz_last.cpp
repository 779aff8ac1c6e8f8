// "last" as a hand-edited file may hold it: a value is taken only when it
// is 34 hexadecimal digits with the right checksum, and one that is taken
// writes back as the same digits.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/struct_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  unsigned char decoded[16] = {};
  if (!orvanta::DecodeStruct(text, decoded, sizeof decoded)) return 0;
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (text.size() != 34 || orvanta::EncodeStruct(decoded, sizeof decoded) != upper) std::abort();
  return 0;
}
