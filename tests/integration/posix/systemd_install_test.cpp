// "installme" and "uninstallme" against the systemd service manager, with the
// unit folder in a temporary folder and a stand-in systemctl first on PATH
// that records every call and answers from switch files beside it.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/service_manager.h"
#include "service/service_installer.h"
#include "support/temp_dir.h"
#include "support/recording_sleeper.h"

namespace orvanta {
namespace {

// Records the arguments after "--quiet" of each call (a call without it is
// recorded as such). "fail-VERB" in its folder makes that verb fail, "active"
// says the service runs (start creates it, stop removes it). A call that
// inherits a blocked or ignored control signal (SIGHUP, SIGINT, SIGUSR1,
// SIGUSR2, SIGTERM: mask 0x4a03) is recorded as such.
constexpr char kStandIn[] = R"(#!/bin/bash
here=$(dirname "$0")
[ "$1" = --quiet ] && echo "${*:2}" >>"$here/calls" || echo "without --quiet: $*" >>"$here/calls"
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

using Lines = std::vector<std::string>;
const std::string kUnit = "OrvantaService.service";
const Lines kInstalled = {kUnit, kUnit + ".lock"};

// The lowest free descriptor: a descriptor that leaks takes it.
int NextDescriptor() {
  const int fd = dup(0);
  close(fd);
  return fd;
}

// As in the service role, the control signals are blocked and one is ignored
// while the tests run; the stand-in records any it inherits.
class SystemdInstallTest : public testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(program_, "#!/bin/sh\n");
    test::WriteBytes(bin_.File("systemctl"), kStandIn);
    ASSERT_EQ(chmod(program_.c_str(), 0755) | chmod(bin_.File("systemctl").c_str(), 0755), 0);
    const char* path = std::getenv("PATH");
    oldPath_ = path != nullptr ? path : "/usr/bin:/bin";
    setenv("PATH", (bin_.Path() + ":" + oldPath_).c_str(), 1);
    setenv("ORVANTA_SYSTEMD_UNIT_DIR", units_.Path().c_str(), 1);
    sigset_t controls;
    sigemptyset(&controls);
    for (const int signal : {SIGHUP, SIGINT, SIGUSR1, SIGUSR2, SIGTERM}) sigaddset(&controls, signal);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &controls, &oldMask_), 0);
    oldHangUp_ = std::signal(SIGHUP, SIG_IGN);
  }
  void TearDown() override {
    std::signal(SIGHUP, oldHangUp_);
    pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    setenv("PATH", oldPath_.c_str(), 1);
    unsetenv("ORVANTA_SYSTEMD_UNIT_DIR");
  }

  bool Install() { return InstallService(SystemServiceManager(), program_); }
  bool Remove() { return RemoveService(SystemServiceManager(), sleeper_); }
  void Switch(const std::string& name) { test::WriteBytes(bin_.File(name), ""); }
  // The calls since the last look.
  Lines TakeCalls() {
    Lines calls;
    std::istringstream lines(test::ReadBytes(bin_.File("calls")));
    for (std::string line; std::getline(lines, line);) calls.push_back(line);
    unlink(bin_.File("calls").c_str());
    return calls;
  }
  std::string Unit() const { return test::ReadBytes(units_.File(kUnit)); }

  test::TempDir home_, bin_, units_;
  const std::string program_ = home_.File("orvanta program");  // a blank: quoted by the installer
  Lines pauses_;
  test::RecordingSleeper sleeper_{pauses_};
  std::string oldPath_;
  sigset_t oldMask_;
  void (*oldHangUp_)(int) = SIG_DFL;
};

TEST_F(SystemdInstallTest, FirstInstallWritesTheUnitThenReloadsEnablesAndStarts) {
  EXPECT_TRUE(Install());
  // Created under the display name, then described: a reload for each.
  EXPECT_EQ(TakeCalls(), (Lines{"daemon-reload", "enable " + kUnit, "daemon-reload", "is-active " + kUnit,
                                "start " + kUnit}));
  EXPECT_NE(Unit().find("\nExecStart=\"" + program_ + "\"\n"), std::string::npos) << Unit();
  EXPECT_NE(Unit().find("\nDescription=Internet time synchronizing utility\n"), std::string::npos) << Unit();
  EXPECT_EQ(units_.Names(), kInstalled);  // and no temporary file
}

TEST_F(SystemdInstallTest, AnExistingUnitIsNeverOverwritten) {
  const std::string foreign = "[Unit]\nDescription=x\n[Service]\nExecStart=/other/orvanta\n";
  test::WriteBytes(units_.File(kUnit), foreign);
  EXPECT_TRUE(Install());  // stopped: started as it is
  EXPECT_TRUE(Install());  // running: nothing to do
  EXPECT_EQ(TakeCalls(), (Lines{"is-active " + kUnit, "start " + kUnit, "is-active " + kUnit}));
  EXPECT_EQ(Unit(), foreign);
}

TEST_F(SystemdInstallTest, RemovalStopsTwiceDisablesAndTakesTheUnitAndItsLockAway) {
  const int next = NextDescriptor();
  ASSERT_TRUE(Install());
  TakeCalls();
  EXPECT_TRUE(Remove());
  EXPECT_EQ(TakeCalls(), (Lines{"stop " + kUnit, "stop " + kUnit, "disable " + kUnit, "daemon-reload"}));
  EXPECT_EQ(units_.Names(), Lines{});
  EXPECT_FALSE(Remove());  // nothing of ours left: no call at all
  EXPECT_EQ(LastError(), error::kServiceDoesNotExist);
  EXPECT_EQ(TakeCalls(), Lines{});
  EXPECT_EQ(NextDescriptor(), next);
}

TEST_F(SystemdInstallTest, FailuresAreReportedAndLeaveNoHalfRegisteredUnit) {
  setenv("PATH", home_.Path().c_str(), 1);  // no systemctl there
  EXPECT_FALSE(Install());
  EXPECT_EQ(LastError(), error::kFileNotFound);
  setenv("PATH", (bin_.Path() + ":" + oldPath_).c_str(), 1);
  setenv("ORVANTA_SYSTEMD_UNIT_DIR", home_.File("no such folder").c_str(), 1);
  EXPECT_FALSE(Install());
  EXPECT_FALSE(Remove());
  EXPECT_EQ(TakeCalls(), Lines{});
  EXPECT_EQ(units_.Names(), Lines{});
  setenv("ORVANTA_SYSTEMD_UNIT_DIR", units_.Path().c_str(), 1);

  Switch("fail-enable");
  EXPECT_FALSE(Install());
  EXPECT_EQ(TakeCalls(), (Lines{"daemon-reload", "enable " + kUnit, "daemon-reload"}));
  EXPECT_EQ(units_.Names(), Lines{});  // not registered after all: unit and lock gone
  unlink(bin_.File("fail-enable").c_str());
  Switch("fail-start");
  EXPECT_FALSE(Install());
  EXPECT_EQ(LastError(), 0x20020001u);    // systemctl's exit status 1
  EXPECT_EQ(units_.Names(), kInstalled);  // registered, not started
  Switch("fail-disable");
  EXPECT_FALSE(Remove());
  EXPECT_EQ(units_.Names(), kInstalled);  // not disabled: not deleted either

  // No name reaches outside the unit folder.
  ServiceManager& manager = SystemServiceManager();
  const ServiceHandle scm = manager.OpenManager();
  for (const char* name : {".x", "x/../OrvantaService", "-x"}) {
    EXPECT_EQ(manager.OpenEntry(scm, name), nullptr) << name;
    EXPECT_EQ(LastError(), error::kInvalidParameter) << name;
  }
  manager.Close(scm);
}

}  // namespace
}  // namespace orvanta
