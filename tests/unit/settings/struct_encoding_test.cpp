// The structure encoding of "INFO"/"last".
#include "settings/struct_encoding.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/system_time.h"

namespace orvanta {
namespace {

// 2009-03-15 (Sunday) 00:03:57.894
SystemTime Example() {
  SystemTime t;
  t.wYear = 2009;
  t.wMonth = 3;
  t.wDayOfWeek = 0;
  t.wDay = 15;
  t.wHour = 0;
  t.wMinute = 3;
  t.wSecond = 57;
  t.wMilliseconds = 894;
  return t;
}

constexpr const char* kExampleText = "D907030000000F000000030039007E03AF";

TEST(StructEncoding, WritesUpperCaseHexAndChecksum) {
  const SystemTime t = Example();
  EXPECT_EQ(EncodeStruct(&t, sizeof t), kExampleText);  // its bytes sum to 0x1AF
}

TEST(StructEncoding, ReadsBackEveryByteValue) {
  unsigned char bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(255 - i);
  unsigned char back[256] = {};
  ASSERT_TRUE(DecodeStruct(EncodeStruct(bytes, sizeof bytes), back, sizeof back));
  EXPECT_EQ(std::memcmp(bytes, back, sizeof bytes), 0);

  SystemTime t;
  ASSERT_TRUE(DecodeStruct("d907030000000f000000030039007e03af", &t, sizeof t));  // lower case, by hand
  EXPECT_EQ(t, Example());
}

TEST(StructEncoding, RefusesDamagedTextAndLeavesTheDataAlone) {
  const std::string good = kExampleText;
  const std::string damaged[] = {
      good.substr(0, 32) + "AE",                 // wrong checksum
      good.substr(0, 33),                        // a digit missing
      good.substr(1),                            // a digit missing at the front
      good + "0",                                // one too many
      "G" + good.substr(1),                      // not a hex digit
      good.substr(0, 10) + " " + good.substr(11),
  };
  for (const std::string& text : damaged) {
    SystemTime t;
    t.wYear = 1234;
    EXPECT_FALSE(DecodeStruct(text, &t, sizeof t)) << text;
    EXPECT_EQ(t, SystemTime{1234}) << text;
  }
}

}  // namespace
}  // namespace orvanta
