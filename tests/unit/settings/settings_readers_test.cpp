// The typed readers: clamps, the server list, the last synchronization.
#include "settings/settings_readers.h"

#include <gtest/gtest.h>

#include "settings/factory_servers.h"
#include "settings/settings_keys.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

class SettingsReadersTest : public testing::Test {
 protected:
  void Store(const std::string& bytes) const { test::WriteBytes(path_, bytes); }
  std::vector<std::string> Servers() const {
    std::vector<std::string> list{"left over"};
    LoadServerList(settings_, list);
    return list;
  }

  test::TempDir folder_;
  std::string path_ = folder_.File("orvanta.ini");
  SettingsFile settings_{path_};
};

TEST_F(SettingsReadersTest, PeriodIsClamped) {
  EXPECT_EQ(ReadPeriodMinutes(settings_), 120u);  // no file
  const struct {
    const char* line;
    uint32_t minutes;
  } cases[] = {
      {"period=0", 120},     {"period=", 120},        {"period=abc", 120},  {"other=1", 120},
      {"period=1", 1},       {"period=9999", 9999},   {"period=10000", 9999},
      {"period=-1", 9999},   {"period=4294967295", 9999}, {"period=4294967296", 120},
      {"period= '45' ", 45},
  };
  for (const auto& c : cases) {
    Store(std::string("[OPTIONS]\n") + c.line + "\n");
    EXPECT_EQ(ReadPeriodMinutes(settings_), c.minutes) << c.line;
  }
}

TEST_F(SettingsReadersTest, OnceDelayIsClampedAndInMilliseconds) {
  EXPECT_EQ(ReadOnceDelayMs(settings_), 4000u);  // no file
  const struct {
    const char* line;
    uint32_t ms;
  } cases[] = {
      {"delay=0", 4000},         {"delay=3", 4000},          {"delay=4", 4000},   {"delay=5", 5000},
      {"delay=86400", 86400000}, {"delay=86401", 10000},     {"delay=-1", 10000}, {"delay=", 4000},
      {"period=30", 4000},
  };
  for (const auto& c : cases) {
    Store(std::string("[OPTIONS]\n") + c.line + "\n");
    EXPECT_EQ(ReadOnceDelayMs(settings_), c.ms) << c.line;
  }
}

TEST_F(SettingsReadersTest, ServerListEndsAtTheFirstMissingOrEmptyKey) {
  using List = std::vector<std::string>;
  EXPECT_EQ(Servers(), List{kDefaultServer});  // no file
  EXPECT_STREQ(kDefaultServer, kFactoryServers[1]);

  Store("[SERVERS]\nserver_1=a.example\nserver_3=c.example\n");
  EXPECT_EQ(Servers(), List{"a.example"});  // gap at server_2
  Store("[SERVERS]\nserver_1=a.example\nserver_2=\nserver_3=c.example\n");
  EXPECT_EQ(Servers(), List{"a.example"});  // an empty server_2 ends the list
  Store("[SERVERS]\nserver_1=\nserver_2=b.example\n");
  EXPECT_EQ(Servers(), List{kDefaultServer});
  Store("[servers]\r\nSERVER_2 = 'b.example' \r\nserver_1=a.example\r\nserver_1=dup\r\n"
        "[OTHER]\r\nserver_3=x\r\n[SERVERS]\r\nserver_3=late\r\n");
  EXPECT_EQ(Servers(), (List{"a.example", "b.example"}));  // first section and first key only

  Store("[SERVERS]\nserver_1=" + std::string(300, 'n') + "\n");
  EXPECT_EQ(Servers(), List{std::string(kServerNameSize - 1, 'n')});
  EXPECT_EQ(ServerKey(12), "server_12");
}

TEST_F(SettingsReadersTest, LastSyncRoundTripsWithTheAdjustment) {
  SystemTime local;
  local.wYear = 7;
  EXPECT_FALSE(ReadLastSync(settings_, local));
  EXPECT_EQ(local.wYear, 7);

  Store("[INFO]\nlast=D907030000000F000000030039007E03AE\n");  // wrong checksum
  EXPECT_FALSE(ReadLastSync(settings_, local));
  EXPECT_EQ(local.wYear, 7);

  SystemTime when;
  when.wYear = 2024;
  when.wMonth = 5;
  when.wDay = 15;
  when.wHour = 23;
  when.wMilliseconds = 999;
  ASSERT_TRUE(WriteSyncResult(settings_, when, -0.2504));
  ASSERT_TRUE(ReadLastSync(settings_, local));
  EXPECT_EQ(local, when);
  EXPECT_EQ(settings_.GetString(kSectionInfo, kKeyAdjusted, kAdjustedSize), "-0.250");
  ASSERT_TRUE(WriteSyncResult(settings_, when, 12.5));
  EXPECT_EQ(settings_.GetString(kSectionInfo, kKeyAdjusted, kAdjustedSize), "12.500");
}

}  // namespace
}  // namespace orvanta
