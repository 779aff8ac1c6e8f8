// The systemd unit of the service: systemd-analyze reads awkward paths back
// exactly, what a unit cannot hold is refused, and the hardening leaves the
// service what it needs and nothing more.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/last_error.h"
#include "platform/posix/systemd_unit.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using posix::ServiceUnitFile;
using posix::UnitPathWord;
using posix::WithDescription;

bool HasLine(const std::string& unit, const std::string& line) {
  return unit.find("\n" + line + "\n") != std::string::npos;
}

TEST(SystemdUnit, SystemdReadsAwkwardPathsBackExactly) {
  test::TempDir dir;
  // A blank, a '%' that systemd would expand, a '$' that stays literal.
  for (const std::string folder : {"/with blank", "/100%d done", "/cost $HOME"}) {
    const std::string executable = dir.Path() + folder + "/orvanta";
    ASSERT_EQ(::mkdir((dir.Path() + folder).c_str(), 0755), 0) << folder;
    test::WriteBytes(executable, "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(::chmod(executable.c_str(), 0755), 0);
    std::string unit;
    ASSERT_TRUE(ServiceUnitFile(executable, "Time utility, 100% sure", unit)) << folder;
    test::WriteBytes(dir.File("OrvantaService.service"), unit);
    // A path read back wrongly names a program that does not exist, which
    // systemd-analyze reports; any output at all counts as a failure.
    const std::string command = "systemd-analyze verify --man=no '" + dir.File("OrvantaService.service") +
                                "' >'" + dir.File("out") + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << folder << ": " << test::ReadBytes(dir.File("out"));
    EXPECT_EQ(test::ReadBytes(dir.File("out")), "") << folder;
  }
}

TEST(SystemdUnit, PathWordsAreQuotedOrRefused) {
  const struct { const char *path, *word; } cases[] = {  // word null: refused
      {"/opt/orvanta", "/opt/orvanta"},           {"/opt/a b/orvanta", "\"/opt/a b/orvanta\""},
      {"/opt/100%/x", "/opt/100%%/x"},            {"/a b/%d", "\"/a b/%%d\""},
      {"", nullptr},                              {"opt/orvanta", nullptr},
      {"/opt/\"q\"/orvanta", nullptr},            {"/opt/it's/orvanta", nullptr},
      {"/opt/back\\slash/orvanta", nullptr},      {"/opt/line\nbreak/orvanta", nullptr},
      {"/opt/tab\t/orvanta", nullptr},            {"/opt/del\x7f/orvanta", nullptr},
  };
  for (const auto& c : cases) {
    std::string word = "left over";
    SetLastError(0);
    EXPECT_EQ(UnitPathWord(c.path, word), c.word != nullptr) << c.path;
    EXPECT_EQ(word, c.word != nullptr ? c.word : "") << c.path;
    EXPECT_EQ(LastError(), c.word != nullptr ? 0u : error::kInvalidParameter) << c.path;
  }
  std::string unit;
  EXPECT_FALSE(ServiceUnitFile("/opt/orvanta/orvanta", "two\nlines", unit));
  EXPECT_FALSE(ServiceUnitFile("relative/orvanta", "text", unit));
  EXPECT_EQ(unit, "");
}

TEST(SystemdUnit, TheServiceMaySetTheClockAndWriteItsFolderOnly) {
  std::string unit;
  ASSERT_TRUE(ServiceUnitFile("/opt/orvanta/orvanta", "Internet time synchronizing utility", unit));
  for (const char* line : {
           "Description=Internet time synchronizing utility", "Type=notify", "ExecStart=/opt/orvanta/orvanta",
           "WantedBy=multi-user.target",
           // The one privilege, and no way to gain another.
           "CapabilityBoundingSet=CAP_SYS_TIME", "AmbientCapabilities=CAP_SYS_TIME", "NoNewPrivileges=yes",
           // Read-only everywhere but the folder of the settings file.
           "ProtectSystem=strict", "ReadWritePaths=/opt/orvanta", "ProtectHome=yes", "PrivateTmp=yes",
           // Sockets for SNTP, the notify socket and the stop event; the clock calls.
           "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX", "SystemCallFilter=@system-service @clock"}) {
    EXPECT_TRUE(HasLine(unit, line)) << line;
  }
  // Each would keep the service from its work: a clock it may not set,
  // capabilities that mean nothing outside a user namespace, no network.
  for (const char* fatal : {"ProtectClock", "PrivateUsers", "PrivateNetwork", "DynamicUser", "User"}) {
    EXPECT_EQ(unit.find(std::string("\n") + fatal + "="), std::string::npos) << fatal;
  }
  // A program in a home folder or in /tmp must stay visible to itself.
  const struct { const char *executable, *protectHome; bool privateTmp; } cases[] = {
      {"/home/ann/bin/orvanta", "read-only", true}, {"/root/orvanta", "read-only", true},
      {"/tmp/orvanta/orvanta", "yes", false},       {"/var/tmp/orvanta", "yes", false},
      {"/tmpfiles/orvanta", "yes", true},           {"/homestead/orvanta", "yes", true},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(ServiceUnitFile(c.executable, "text", unit)) << c.executable;
    EXPECT_TRUE(HasLine(unit, std::string("ProtectHome=") + c.protectHome)) << c.executable;
    EXPECT_EQ(HasLine(unit, "PrivateTmp=yes"), c.privateTmp) << c.executable;
  }
}

TEST(SystemdUnit, DescriptionGoesIntoTheUnitSectionOnly) {
  std::string changed;
  ASSERT_TRUE(WithDescription("[Service]\nType=x\n[Unit]\nAfter=x\n[Install]\nDescription=not this\n", "5%", changed));
  EXPECT_EQ(changed, "[Service]\nType=x\n[Unit]\nDescription=5%%\nAfter=x\n[Install]\nDescription=not this\n");
  ASSERT_TRUE(WithDescription("[Unit]\nDescription=old\nAfter=x\n", "new", changed));
  EXPECT_EQ(changed, "[Unit]\nDescription=new\nAfter=x\n");
  EXPECT_FALSE(WithDescription("[Service]\nType=notify\n", "d", changed));
  EXPECT_FALSE(WithDescription("[Unit]\n", "two\nlines", changed));
}

}  // namespace
}  // namespace orvanta
