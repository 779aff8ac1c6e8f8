// The program under systemd: the unit it writes, "installme" and
// "uninstallme" against a stand-in systemctl, and the service side started
// as systemd starts it, with the notify socket bound by the test. The end-to-
// end test of the Linux service runs the whole program the same way.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstdlib>
#include <cstring>

#include "platform/last_error.h"
#include "platform/posix/systemd_unit.h"
#include "platform/posix/unique_fd.h"
#include "platform/service_side.h"
#include "service/service_installer.h"
#include "service/service_names.h"
#include "support/recording_sleeper.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using namespace service;
using Lines = std::vector<std::string>;

// The control signals, blocked as the service role blocks them, before main()
// and any other thread: a signal to the process then waits for the
// dispatcher, and systemctl must not inherit the block.
const sigset_t kControls = [] {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGHUP, SIGINT, SIGUSR1, SIGUSR2, SIGTERM}) sigaddset(&set, signal);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return set;
}();

TEST(SystemdUnit, PathsAreQuotedOrRefusedAndTheServiceMaySetTheClockOnly) {
  std::string unit;
  ASSERT_TRUE(posix::ServiceUnitFile("/opt/100%/orvanta b", "Time kept 100% right", unit));
  // The one privilege; read-only everywhere but the program's folder and the
  // named event's.
  for (const char* line : {"ExecStart=\"/opt/100%%/orvanta b\"", "Description=Time kept 100%% right",
                           "Type=notify", "AmbientCapabilities=CAP_SYS_TIME", "ProtectSystem=strict",
                           "ReadWritePaths=/opt/100%%", "RuntimeDirectory=orvanta"}) {
    EXPECT_NE(unit.find("\n" + std::string(line) + "\n"), std::string::npos) << line;
  }
  // What a unit cannot hold, or would read otherwise, is refused.
  for (const char* path : {"relative/orvanta", "/opt/\"q\"/orvanta", "/opt/back\\slash/orvanta", "/opt/line\nbreak/o"}) {
    SetLastError(0);
    EXPECT_FALSE(posix::ServiceUnitFile(path, "text", unit) || LastError() != error::kInvalidParameter) << path;
    EXPECT_EQ(unit, "") << path;
  }
}

// Notes the verb of each call, and loudly a call without "--quiet", for
// another unit, or with a control signal blocked or ignored (SIGHUP, SIGINT,
// SIGUSR1, SIGUSR2, SIGTERM: mask 0x4a03). The verb in "fail" beside it
// fails; "active" says the service runs.
constexpr char kStandIn[] = R"sh(#!/bin/bash
cd "$(dirname "$0")" && printf '%s ' "$2" >>calls
[ "$1 ${3-OrvantaService.service}" = "--quiet OrvantaService.service" ] || printf 'BAD(%s) ' "$*" >>calls
while read -r key mask; do
  case $key in SigBlk:|SigIgn:) (( 16#$mask & 16#4a03 )) && printf 'HELD(%s) ' "$key" >>calls ;; esac
done </proc/$$/status
[ "$2" = "$(cat fail 2>/dev/null)" ] && exit 1
case $2 in is-active) [ -e active ] ;; start) : >active ;; stop) rm -f active ;; esac
)sh";
const Lines kInstalled = {"OrvantaService.service", "OrvantaService.service.lock"};

// The end-to-end test installs and removes the service as it should be;
// here an earlier unit, failures on the way, and what is left behind. The
// unit folder and systemctl are the test's own; SIGHUP is ignored, as the
// service role may leave it.
TEST(SystemdInstall, AnExistingUnitIsNeverOverwrittenFailuresAreFailuresAndRemovalLeavesNothing) {
  test::TempDir bin, units;
  test::WriteBytes(bin.File("systemctl"), kStandIn);
  ASSERT_EQ(::chmod(bin.File("systemctl").c_str(), 0755), 0);
  const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
  ::setenv("PATH", (bin.Path() + ":" + oldPath).c_str(), 1);
  ::setenv("ORVANTA_SYSTEMD_UNIT_DIR", units.Path().c_str(), 1);
  const auto oldHangUp = ::signal(SIGHUP, SIG_IGN);
  Lines pauses;
  test::RecordingSleeper sleeper(pauses);
  const auto install = [] { return InstallService(SystemServiceManager(), "/opt/orvanta program/orvanta"); };
  const auto remove = [&sleeper] { return RemoveService(SystemServiceManager(), sleeper); };
  const auto unit = [&units] { return test::ReadBytes(units.File(kInstalled[0])); };
  const auto fail = [&bin](const char* verb) { test::WriteBytes(bin.File("fail"), verb); };

  const std::string foreign = "[Unit]\nDescription=x\n[Service]\nExecStart=/other/orvanta\n";
  test::WriteBytes(units.File(kInstalled[0]), foreign);
  EXPECT_TRUE(install());  // stopped: started as it is
  EXPECT_TRUE(install());  // running: nothing to do
  EXPECT_EQ(unit(), foreign);
  ::unlink(units.File(kInstalled[0]).c_str());
  ::unlink(bin.File("active").c_str());
  fail("enable");
  EXPECT_FALSE(install());
  EXPECT_EQ(units.Names(), Lines{});  // not registered after all: unit and lock gone
  fail("start");
  EXPECT_FALSE(install());
  EXPECT_EQ(LastError(), 0x20020001u);   // systemctl's exit status 1
  EXPECT_EQ(units.Names(), kInstalled);  // registered, not started
  EXPECT_NE(unit().find("\nDescription=Internet time synchronizing utility\n"), std::string::npos) << unit();
  EXPECT_EQ(unit().find("Description=OrvantaService"), std::string::npos) << unit();
  fail("disable");
  EXPECT_FALSE(remove());
  EXPECT_EQ(units.Names(), kInstalled);  // not disabled: not deleted either
  fail("nothing");
  EXPECT_TRUE(remove());
  EXPECT_EQ(units.Names(), Lines{});
  const std::string calls = test::ReadBytes(bin.File("calls"));  // every verb, none marked
  EXPECT_EQ(calls.find('('), std::string::npos) << calls;

  ::signal(SIGHUP, oldHangUp);
  ::setenv("PATH", oldPath.c_str(), 1);
  ::unsetenv("ORVANTA_SYSTEMD_UNIT_DIR");
}

const char kInvocationId[] = "0123456789abcdef0123456789ABCDEF";
const std::string kNothing = "<nothing>", kReady = "READY=1\nSTATUS=Running";

// systemd's end: the notify socket, on a path, and the variables.
struct FakeSystemd {
  explicit FakeSystemd(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    EXPECT_EQ(::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length), 0) << path;
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    ::setenv("INVOCATION_ID", kInvocationId, 1);
    ::setenv("SYSTEMD_EXEC_PID", std::to_string(::getpid()).c_str(), 1);
  }
  // The next message, or kNothing when none came within the limit.
  std::string Next(int limitMs = 5000) {
    pollfd readable{fd.Get(), POLLIN, 0};
    char buffer[4096];
    const ssize_t count = ::poll(&readable, 1, limitMs) == 1 ? ::recv(fd.Get(), buffer, sizeof buffer, 0) : -1;
    return count < 0 ? kNothing : std::string(buffer, static_cast<size_t>(count));
  }

  posix::UniqueFd fd{::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
};

bool Report(uint32_t state, uint32_t checkPoint = 0, uint32_t waitHint = 0) {
  const uint32_t accepted = state == kStartPending ? 0 : kAcceptStop | kAcceptPauseContinue;
  return SendServiceStatus(ServiceStatus{kWin32OwnProcess, state, accepted, 0, 0, checkPoint, waitHint});
}

// The handler passes each control on to systemd as a status line, so that
// controls and reports arrive in one sequence.
bool Dispatch(std::function<void()> serviceMain) {
  return RunServiceDispatcher(kServiceName, std::move(serviceMain), [](uint32_t control) {
    SendServiceStatusText("control " + std::to_string(control));
  });
}
std::string Echoed(uint32_t control) { return "STATUS=control " + std::to_string(control); }

// As from the Windows manager, controls reach the handler only between a
// running (or paused) report and the stop-pending one: signals given during
// start-up wait in the kernel until the service runs. When the control loop
// can wait no more, the service stops as it does on a stop request, instead
// of hanging with its stop signal blocked. Outside a service the dispatcher
// fails at once and nothing runs: started from a shell, or having merely
// inherited the variables from a service's process.
TEST(SystemdServiceSide, ReportsAndControlsFollowTheServiceState) {
  test::TempDir dir;
  FakeSystemd systemd(dir.File("notify"));
  const auto refusedWith = [](const char* variable, const std::string& value) {
    const std::string kept = std::getenv(variable);
    value.empty() ? ::unsetenv(variable) : ::setenv(variable, value.c_str(), 1);
    SetLastError(0);
    const bool refused = !Dispatch([] { ADD_FAILURE(); }) && LastError() == error::kFailedServiceControllerConnect;
    ::setenv(variable, kept.c_str(), 1);
    return refused;
  };
  EXPECT_TRUE(refusedWith("NOTIFY_SOCKET", ""));
  EXPECT_TRUE(refusedWith("SYSTEMD_EXEC_PID", std::to_string(::getppid())));
  ::unsetenv("SYSTEMD_EXEC_PID");  // systemd before 248 passes none
  rlimit files{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
  EXPECT_TRUE(Dispatch([&] {
    ASSERT_TRUE(RegisterServiceControlHandler(kServiceName) && Report(kStartPending, 1, 3000));
    for (const int signal : {SIGTERM, SIGUSR2, SIGUSR1, SIGINT, SIGHUP}) ::kill(::getpid(), signal);
    EXPECT_EQ(systemd.Next(), "STATUS=Starting (checkpoint 1)\nEXTEND_TIMEOUT_USEC=3000000");
    EXPECT_EQ(systemd.Next(200), kNothing);
    ASSERT_TRUE(Report(kRunning));
    // The kernel hands pending signals out lowest number first.
    for (const std::string& message : Lines{kReady, Echoed(kControlInterrogate), Echoed(kControlStop),
                                            Echoed(kControlPause), Echoed(kControlContinue), Echoed(kControlStop)}) {
      EXPECT_EQ(systemd.Next(), message);
    }
    ASSERT_TRUE(Report(kPaused));
    ::kill(::getpid(), SIGUSR2);
    for (const std::string& message : Lines{"STATUS=Paused", Echoed(kControlContinue)}) EXPECT_EQ(systemd.Next(), message);
    const std::string stopping = "STOPPING=1\nSTATUS=Stopping\nEXTEND_TIMEOUT_USEC=2000000";
    ASSERT_TRUE(Report(kStopPending, 0, 2000));
    ::kill(::getpid(), SIGUSR1);  // too late: it stays pending
    EXPECT_EQ(systemd.Next(), stopping);
    EXPECT_EQ(systemd.Next(200), kNothing);
    // poll() refuses more descriptors than the limit allows: the loop's next
    // wait, woken by the report below, fails.
    const rlimit one{1, files.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &one), 0);
    EXPECT_TRUE(Report(kStopPending, 0, 2000));
    EXPECT_EQ(systemd.Next(), stopping);
    EXPECT_EQ(systemd.Next(10000), Echoed(kControlStop));
    ::setrlimit(RLIMIT_NOFILE, &files);
    ASSERT_TRUE(Report(kStopped));
  }));
  ::setrlimit(RLIMIT_NOFILE, &files);
  EXPECT_EQ(systemd.Next(), "STOPPING=1\nSTATUS=Stopped");
  const timespec now{0, 0};
  EXPECT_EQ(::sigtimedwait(&kControls, nullptr, &now), SIGUSR1);
  for (const char* name : {"NOTIFY_SOCKET", "INVOCATION_ID"}) ::unsetenv(name);
}

}  // namespace
}  // namespace orvanta
