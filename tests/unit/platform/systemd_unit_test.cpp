// Linux only: the systemd unit of the service. What systemd reads back from
// it is checked by systemd-analyze itself, with real executables at awkward
// paths, and the hardening by the properties the service depends on.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/posix/systemd_unit.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using posix::ServiceUnitFile;
using posix::UnitPathWord;
using posix::WithDescription;

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command; its exit status, and its output (both streams) in output.
int RunShell(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[512];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary) << content;
  chmod(path.c_str(), mode);
}

// Every "Key=value" line of the unit; comments and section headers left out.
std::multimap<std::string, std::string> Settings(const std::string& unit) {
  std::multimap<std::string, std::string> settings;
  size_t begin = 0;
  while (begin < unit.size()) {
    size_t end = unit.find('\n', begin);
    if (end == std::string::npos) end = unit.size();
    const std::string line = unit.substr(begin, end - begin);
    begin = end + 1;
    const size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || line[0] == '[' || equals == std::string::npos) continue;
    settings.emplace(line.substr(0, equals), line.substr(equals + 1));
  }
  return settings;
}

std::string One(const std::multimap<std::string, std::string>& settings, const std::string& key) {
  return settings.count(key) == 1 ? settings.find(key)->second : "<" + std::to_string(settings.count(key)) + ">";
}

TEST(SystemdUnitTest, SystemdReadsAwkwardPathsBackExactly) {
  test::TempDir dir;
  // A blank, a '%' that systemd would expand, a '$' that stays literal.
  for (const std::string folder : {"/plain", "/with blank", "/100%d done", "/cost $HOME"}) {
    const std::string executable = dir.Path() + folder + "/orvanta";
    ASSERT_EQ(mkdir((dir.Path() + folder).c_str(), 0755), 0) << folder;
    WriteFile(executable, "#!/bin/sh\nexit 0\n", 0755);

    std::string unit;
    ASSERT_TRUE(ServiceUnitFile(executable, "Internet time synchronizing utility, 100% sure", unit)) << folder;
    const std::string unitPath = dir.Path() + "/OrvantaService.service";
    WriteFile(unitPath, unit);
    std::string output;
    // A path read back wrongly names a program that does not exist, which
    // systemd-analyze reports; any warning at all counts as a failure.
    EXPECT_EQ(RunShell("systemd-analyze verify --man=no " + ShellQuoted(unitPath), output), 0)
        << folder << ": " << output;
    EXPECT_EQ(output, "") << folder;
  }
}

TEST(SystemdUnitTest, WhatAUnitCannotHoldIsRefused) {
  std::string word;
  for (const std::string bad : {"", "orvanta", "opt/orvanta", "/opt/\"q\"/orvanta", "/opt/it's/orvanta",
                                "/opt/back\\slash/orvanta", "/opt/line\nbreak/orvanta", "/opt/tab\t/orvanta"}) {
    SetLastError(0);
    word = "left over";
    EXPECT_FALSE(UnitPathWord(bad, word)) << bad;
    EXPECT_EQ(word, "");
    EXPECT_EQ(LastError(), error::kInvalidParameter);
  }
  std::string unit;
  EXPECT_FALSE(ServiceUnitFile("/opt/orvanta/orvanta", "two\nlines", unit));  // a line of its own
  EXPECT_FALSE(ServiceUnitFile("relative/orvanta", "text", unit));
  EXPECT_EQ(unit, "");
}

TEST(SystemdUnitTest, TheServiceMaySetTheClockAndWriteItsFolderOnly) {
  std::string unit;
  ASSERT_TRUE(ServiceUnitFile("/opt/orvanta/orvanta", "Internet time synchronizing utility", unit));
  const auto settings = Settings(unit);

  EXPECT_EQ(One(settings, "Description"), "Internet time synchronizing utility");
  EXPECT_EQ(One(settings, "Type"), "notify");  // READY=1 only once the host reports running
  EXPECT_EQ(One(settings, "ExecStart"), "/opt/orvanta/orvanta");  // no argument: the service role
  EXPECT_EQ(One(settings, "WantedBy"), "multi-user.target");      // started at boot

  // The one privilege, and no way to gain another.
  EXPECT_EQ(One(settings, "CapabilityBoundingSet"), "CAP_SYS_TIME");
  EXPECT_EQ(One(settings, "AmbientCapabilities"), "CAP_SYS_TIME");
  EXPECT_EQ(One(settings, "NoNewPrivileges"), "yes");
  // Read-only everywhere but the folder of the settings file.
  EXPECT_EQ(One(settings, "ProtectSystem"), "strict");
  EXPECT_EQ(One(settings, "ReadWritePaths"), "/opt/orvanta");
  EXPECT_EQ(One(settings, "ProtectHome"), "yes");
  EXPECT_EQ(One(settings, "PrivateTmp"), "yes");

  // What would stop the service from doing its work: a clock it may not set,
  // capabilities that mean nothing outside a user namespace, no network, or
  // no local sockets for the notify socket and the stop event.
  for (const char* fatal : {"ProtectClock", "PrivateUsers", "PrivateNetwork", "DynamicUser", "User"}) {
    EXPECT_EQ(settings.count(fatal), 0u) << fatal;
  }
  const std::string families = One(settings, "RestrictAddressFamilies");
  for (const char* family : {"AF_UNIX", "AF_INET", "AF_INET6"}) {
    EXPECT_NE(families.find(family), std::string::npos) << family;
  }
  // The clock calls are outside the usual system-service set.
  EXPECT_NE(One(settings, "SystemCallFilter").find("@clock"), std::string::npos);
}

TEST(SystemdUnitTest, AProgramInHomeOrTmpStaysReachable) {
  struct Case {
    const char* executable;
    const char* protectHome;
    bool privateTmp;
  };
  const Case cases[] = {
      {"/home/ann/bin/orvanta", "read-only", true},  // hidden homes would hide the program
      {"/root/orvanta", "read-only", true},
      {"/tmp/orvanta/orvanta", "yes", false},  // a private /tmp would hide it too
      {"/var/tmp/orvanta", "yes", false},
      {"/tmpfiles/orvanta", "yes", true},  // only /tmp itself and what lies beneath
      {"/homestead/orvanta", "yes", true},
  };
  for (const Case& c : cases) {
    std::string unit;
    ASSERT_TRUE(ServiceUnitFile(c.executable, "text", unit)) << c.executable;
    const auto settings = Settings(unit);
    EXPECT_EQ(One(settings, "ProtectHome"), c.protectHome) << c.executable;
    EXPECT_EQ(settings.count("PrivateTmp"), c.privateTmp ? 1u : 0u) << c.executable;
  }
}

TEST(SystemdUnitTest, DescriptionIsReplacedAndNothingElse) {
  std::string unit;
  ASSERT_TRUE(ServiceUnitFile("/opt/orvanta/orvanta", "OrvantaService", unit));
  std::string changed;
  ASSERT_TRUE(WithDescription(unit, "Internet time synchronizing utility", changed));
  std::string expected;
  ASSERT_TRUE(ServiceUnitFile("/opt/orvanta/orvanta", "Internet time synchronizing utility", expected));
  EXPECT_EQ(changed, expected);

  // A [Unit] section without one gets one at its top; '%' is doubled; the
  // Description= of another section stays.
  ASSERT_TRUE(WithDescription("[Service]\nDescription=not this one\n[Unit]\nAfter=x\n", "50%", changed));
  EXPECT_EQ(changed, "[Service]\nDescription=not this one\n[Unit]\nDescription=50%%\nAfter=x\n");
  EXPECT_FALSE(WithDescription("[Service]\nType=notify\n", "d", changed));
  EXPECT_FALSE(WithDescription(unit, "two\nlines", changed));
}

}  // namespace
}  // namespace orvanta
#endif
