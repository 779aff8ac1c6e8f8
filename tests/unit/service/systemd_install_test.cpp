// Linux only: "installme" and "uninstallme" against the systemd service
// manager, with the unit folder in a temporary folder and a stand-in
// systemctl first on PATH that records every call and answers from files.
#ifndef _WIN32
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/service_manager.h"
#include "service/service_installer.h"
#include "service/service_names.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

// Records "ARGS" per call. "fail-VERB" in its folder makes that verb fail,
// "active" says the service runs (start creates it, stop removes it). A
// call that inherits a blocked or ignored control signal (SIGHUP, SIGINT,
// SIGUSR1, SIGUSR2, SIGTERM: mask 0x4a03) is recorded as such.
constexpr char kStandIn[] = R"(#!/bin/bash
here=$(dirname "$0")
echo "$*" >>"$here/calls"
while read -r key value; do
  case $key in SigBlk:|SigIgn:) (( 16#$value & 16#4a03 )) && echo "control signals held: $key" >>"$here/calls" ;; esac
done </proc/$$/status
verb=$2
[ -e "$here/fail-$verb" ] && exit 1
case $verb in
  is-active) [ -e "$here/active" ] ;;
  start) : >"$here/active" ;;
  stop) rm -f "$here/active" ;;
esac
)";

const std::string kUnit = "OrvantaService.service";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool Exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

int OpenDescriptors() { return static_cast<int>(Names("/proc/self/fd").size()); }

class SystemdInstallTest : public testing::Test {
 protected:
  void SetUp() override {
    bin_ = dir_.Path() + "/bin";
    units_ = dir_.Path() + "/units";
    program_ = dir_.Path() + "/opt dir/orvanta";  // a blank: quoted by the installer
    ASSERT_EQ(mkdir(bin_.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(units_.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir_.Path() + "/opt dir").c_str(), 0755), 0);
    WriteFile(bin_ + "/systemctl", kStandIn, 0755);
    WriteFile(program_, "#!/bin/sh\nexit 0\n", 0755);
    const char* path = std::getenv("PATH");
    oldPath_ = path != nullptr ? path : "/usr/bin:/bin";
    setenv("PATH", (bin_ + ":" + oldPath_).c_str(), 1);
    setenv("ORVANTA_SYSTEMD_UNIT_DIR", units_.c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    unsetenv("ORVANTA_SYSTEMD_UNIT_DIR");
  }

  static void WriteFile(const std::string& path, const std::string& content, mode_t mode) {
    std::ofstream(path, std::ios::binary) << content;
    chmod(path.c_str(), mode);
  }
  void Switch(const std::string& name) { WriteFile(bin_ + "/" + name, "", 0644); }

  // The calls since the last look, without the "--quiet" every call carries.
  std::vector<std::string> TakeCalls() {
    std::vector<std::string> calls;
    std::istringstream lines(ReadAll(bin_ + "/calls"));
    for (std::string line; std::getline(lines, line);) {
      calls.push_back(line.compare(0, 8, "--quiet ") == 0 ? line.substr(8) : "without --quiet: " + line);
    }
    unlink((bin_ + "/calls").c_str());
    return calls;
  }
  std::string UnitPath() const { return units_ + "/" + kUnit; }

  test::TempDir dir_;
  std::string bin_;
  std::string units_;
  std::string program_;
  std::string oldPath_;
};

using Sequence = std::vector<std::string>;

TEST_F(SystemdInstallTest, FirstInstallWritesAVerifiedUnitEnablesAndStartsIt) {
  EXPECT_TRUE(InstallService(SystemServiceManager(), program_));
  EXPECT_EQ(TakeCalls(), (Sequence{"daemon-reload", "enable " + kUnit, "daemon-reload",  // created, then described
                            "is-active " + kUnit, "start " + kUnit}));

  const std::string unit = ReadAll(UnitPath());
  EXPECT_NE(unit.find("\nExecStart=\"" + program_ + "\"\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nDescription=Internet time synchronizing utility\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nReadWritePaths=\"" + dir_.Path() + "/opt dir\"\n"), std::string::npos) << unit;
  struct stat status {};
  ASSERT_EQ(stat(UnitPath().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0644u);
  EXPECT_EQ(Names(units_), (std::vector<std::string>{kUnit}));  // no temporary left

  std::string output;
  FILE* verify = popen(("systemd-analyze verify --man=no '" + UnitPath() + "' 2>&1").c_str(), "r");
  ASSERT_NE(verify, nullptr);
  char buffer[512];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, verify)) > 0) output.append(buffer, count);
  EXPECT_EQ(pclose(verify), 0) << output;
  EXPECT_EQ(output, "");
}

TEST_F(SystemdInstallTest, InstallingASecondTimeFindsItRunningAndAnswersTrue) {
  ASSERT_TRUE(InstallService(SystemServiceManager(), program_));
  const std::string unit = ReadAll(UnitPath());
  TakeCalls();
  EXPECT_TRUE(InstallService(SystemServiceManager(), program_));
  EXPECT_EQ(TakeCalls(), (Sequence{"is-active " + kUnit}));  // the unit exists: no reload, no start
  EXPECT_EQ(ReadAll(UnitPath()), unit);

  // The manager's own answer for a running service is the Windows one.
  ServiceManager& manager = SystemServiceManager();
  ServiceHandle scm = manager.OpenManager();
  ASSERT_NE(scm, nullptr);
  ServiceHandle service = manager.OpenEntry(scm, kServiceName);
  ASSERT_NE(service, nullptr);
  EXPECT_FALSE(manager.StartEntry(service));
  EXPECT_EQ(LastError(), error::kServiceAlreadyRunning);
  manager.Close(service);
  EXPECT_EQ(manager.CreateEntry(scm, ServiceRegistration{kServiceName, kServiceName, "/elsewhere/orvanta"}), nullptr);
  EXPECT_EQ(LastError(), error::kServiceExists);
  // No name reaches outside the unit folder.
  EXPECT_EQ(manager.CreateEntry(scm, ServiceRegistration{"../x", "../x", program_.c_str()}), nullptr);
  EXPECT_EQ(manager.OpenEntry(scm, "../units/OrvantaService"), nullptr);
  EXPECT_EQ(LastError(), error::kInvalidParameter);
  manager.Close(scm);
  EXPECT_EQ(Names(dir_.Path()).size(), 3u);  // bin, units, opt dir
}

TEST_F(SystemdInstallTest, AStoppedRegistrationIsStartedUnchanged) {
  const std::string other = "[Unit]\nDescription=x\n[Service]\nType=notify\nExecStart=/other/orvanta\n";
  WriteFile(UnitPath(), other, 0644);
  EXPECT_TRUE(InstallService(SystemServiceManager(), program_));
  EXPECT_EQ(TakeCalls(), (Sequence{"is-active " + kUnit, "start " + kUnit}));
  EXPECT_EQ(ReadAll(UnitPath()), other);
}

TEST_F(SystemdInstallTest, ARefusedStartAnswersFalseAndLeavesTheServiceRegistered) {
  Switch("fail-start");
  EXPECT_FALSE(InstallService(SystemServiceManager(), program_));
  EXPECT_EQ(LastError(), 0x20020001u);  // systemctl's exit status 1
  EXPECT_TRUE(Exists(UnitPath()));
}

TEST_F(SystemdInstallTest, ARefusedEnableTakesTheUnitAwayAgain) {
  Switch("fail-enable");
  EXPECT_FALSE(InstallService(SystemServiceManager(), program_));
  EXPECT_EQ(TakeCalls(), (Sequence{"daemon-reload", "enable " + kUnit, "daemon-reload"}));
  EXPECT_EQ(Names(units_), std::vector<std::string>{});
}

TEST_F(SystemdInstallTest, WithoutAManagerNothingIsWrittenOrRun) {
  setenv("ORVANTA_SYSTEMD_UNIT_DIR", (dir_.Path() + "/no such folder").c_str(), 1);
  EXPECT_FALSE(InstallService(SystemServiceManager(), program_));
  EXPECT_FALSE(RemoveService(SystemServiceManager()));
  EXPECT_EQ(TakeCalls(), Sequence{});

  setenv("ORVANTA_SYSTEMD_UNIT_DIR", units_.c_str(), 1);
  setenv("PATH", (dir_.Path() + "/opt dir").c_str(), 1);  // no systemctl there
  EXPECT_FALSE(InstallService(SystemServiceManager(), program_));
  EXPECT_EQ(LastError(), error::kFileNotFound);
  EXPECT_EQ(Names(units_), std::vector<std::string>{});
}

TEST_F(SystemdInstallTest, RemovalStopsTwiceDisablesDeletesAndReloads) {
  ASSERT_TRUE(InstallService(SystemServiceManager(), program_));
  TakeCalls();
  EXPECT_TRUE(RemoveService(SystemServiceManager()));
  EXPECT_EQ(TakeCalls(), (Sequence{"stop " + kUnit, "stop " + kUnit, "disable " + kUnit, "daemon-reload"}));
  EXPECT_EQ(Names(units_), std::vector<std::string>{});

  // Nothing of ours to remove: no call at all, and the answer is false.
  EXPECT_FALSE(RemoveService(SystemServiceManager()));
  EXPECT_EQ(TakeCalls(), Sequence{});
  EXPECT_EQ(LastError(), error::kServiceDoesNotExist);
}

TEST_F(SystemdInstallTest, NoDescriptorOutlivesAnOperation) {
  // As in the service role: the control signals blocked, and one ignored.
  sigset_t controls;
  sigset_t previous;
  sigemptyset(&controls);
  for (const int signal : {SIGHUP, SIGINT, SIGUSR1, SIGUSR2, SIGTERM}) sigaddset(&controls, signal);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &controls, &previous), 0);
  const auto oldHangUp = std::signal(SIGHUP, SIG_IGN);

  const int before = OpenDescriptors();
  ASSERT_TRUE(InstallService(SystemServiceManager(), program_));
  EXPECT_TRUE(InstallService(SystemServiceManager(), program_));
  Switch("fail-disable");
  EXPECT_FALSE(RemoveService(SystemServiceManager()));
  EXPECT_TRUE(Exists(UnitPath()));  // not disabled: not deleted either
  unlink((bin_ + "/fail-disable").c_str());
  EXPECT_TRUE(RemoveService(SystemServiceManager()));
  Switch("fail-enable");
  EXPECT_FALSE(InstallService(SystemServiceManager(), program_));
  EXPECT_EQ(OpenDescriptors(), before);
  std::signal(SIGHUP, oldHangUp);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  // Every systemctl began with the control signals free and handled as usual.
  const Sequence calls = TakeCalls();
  EXPECT_EQ(calls.size(), 16u);
  for (const std::string& call : calls) EXPECT_EQ(call.find("control signals held"), std::string::npos) << call;
}

}  // namespace
}  // namespace orvanta
#endif
