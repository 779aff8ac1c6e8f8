// The service side under systemd, started in this process as systemd starts
// the program: the test binds the notify socket, sets the variables systemd
// passes, runs the dispatcher and sends the control signals to the process.
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "integration/posix/child_process.h"
#include "platform/last_error.h"
#include "platform/posix/unique_fd.h"
#include "platform/service_side.h"
#include "service/service_names.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using namespace service;

// A signal to the process goes to any thread that does not block it. The
// program blocks its controls before it starts a thread; so does this test
// program, before main() and any thread of GoogleTest.
const sigset_t kControls = [] {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGHUP, SIGINT, SIGUSR1, SIGUSR2, SIGTERM}) sigaddset(&set, signal);
  return set;
}();
const bool kControlsBlocked = pthread_sigmask(SIG_BLOCK, &kControls, nullptr) == 0;

const char kInvocationId[] = "0123456789abcdef0123456789ABCDEF";
const std::string kNothing = "<nothing>";

// systemd's end: the notify socket (on a path when the name starts with '/')
// and the variables; none of them, and no pending control signal, outlives it.
class FakeSystemd {
 public:
  explicit FakeSystemd(const std::string& name) : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const bool onPath = name[0] == '/';
    std::memcpy(address.sun_path + (onPath ? 0 : 1), name.c_str(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + 1);
    bound_ = ::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
    variable_ = (onPath ? "" : "@") + name;
    ::setenv("NOTIFY_SOCKET", variable_.c_str(), 1);
    ::setenv("INVOCATION_ID", kInvocationId, 1);
    ::setenv("SYSTEMD_EXEC_PID", std::to_string(::getpid()).c_str(), 1);
  }
  ~FakeSystemd() {
    const timespec now{0, 0};
    while (::sigtimedwait(&kControls, nullptr, &now) > 0) {
    }
    for (const char* name : {"NOTIFY_SOCKET", "INVOCATION_ID", "SYSTEMD_EXEC_PID"}) ::unsetenv(name);
  }
  bool Bound() const { return bound_; }
  const std::string& Variable() const { return variable_; }

  // The next message, or kNothing when none came within the limit.
  std::string Next(int limitMs = 5000) {
    pollfd readable{fd_.Get(), POLLIN, 0};
    if (::poll(&readable, 1, limitMs) != 1) return kNothing;
    char buffer[4096];
    const ssize_t count = ::recv(fd_.Get(), buffer, sizeof buffer, 0);
    return count < 0 ? kNothing : std::string(buffer, static_cast<size_t>(count));
  }

 private:
  posix::UniqueFd fd_;
  std::string variable_;
  bool bound_ = false;
};

void Send(int signal) { ASSERT_EQ(::kill(::getpid(), signal), 0); }

bool Report(uint32_t state, uint32_t checkPoint = 0, uint32_t waitHint = 0) {
  const uint32_t accepted = state == kStartPending ? 0 : kAcceptStop | kAcceptPauseContinue;
  return SendServiceStatus(ServiceStatus{kWin32OwnProcess, state, accepted, 0, 0, checkPoint, waitHint});
}

// The controls the handler got, in order.
struct Controls {
  std::mutex mutex;
  std::vector<uint32_t> got;

  void Add(uint32_t control) {
    std::lock_guard<std::mutex> lock(mutex);
    got.push_back(control);
  }
  // Once there are count of them, or after ms at most.
  std::vector<uint32_t> Wait(size_t count, int ms) {
    for (int waited = 0;; waited += 10, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
      std::lock_guard<std::mutex> lock(mutex);
      if (got.size() >= count || waited >= ms) return got;
    }
  }
};

// As from the Windows manager, controls reach the handler only between a
// running (or paused) report and the stop-pending one: signals given during
// start-up wait in the kernel until the service runs.
TEST(SystemdServiceSide, ReportsAndControlsFollowTheServiceState) {
  ASSERT_TRUE(kControlsBlocked);
  FakeSystemd systemd(test::UniqueName("notify"));
  ASSERT_TRUE(systemd.Bound());
  Controls controls;
  std::vector<uint32_t> duringStartUp, whileRunning, whilePaused;
  EXPECT_TRUE(RunServiceDispatcher(
      kServiceName,
      [&] {
        EXPECT_FALSE(RegisterServiceControlHandler("OtherService"));
        ASSERT_TRUE(RegisterServiceControlHandler(kServiceName));
        ASSERT_TRUE(Report(kStartPending, 1, 3000));
        for (const int signal : {SIGTERM, SIGUSR2, SIGUSR1, SIGINT, SIGHUP}) Send(signal);
        duringStartUp = controls.Wait(1, 200);
        ASSERT_TRUE(Report(kRunning));
        whileRunning = controls.Wait(5, 5000);
        ASSERT_TRUE(Report(kPaused));
        Send(SIGUSR2);
        whilePaused = controls.Wait(6, 5000);
        ASSERT_TRUE(Report(kStopPending, 0, 2000));
        Send(SIGUSR1);  // too late
        controls.Wait(7, 200);
        ASSERT_TRUE(Report(kStopped));
      },
      [&controls](uint32_t control) { controls.Add(control); }));
  EXPECT_EQ(duringStartUp, std::vector<uint32_t>{});
  // The kernel hands pending signals out lowest number first.
  std::vector<uint32_t> expected{kControlInterrogate, kControlStop, kControlPause, kControlContinue, kControlStop};
  EXPECT_EQ(whileRunning, expected);
  expected.push_back(kControlContinue);
  EXPECT_EQ(whilePaused, expected);
  EXPECT_EQ(controls.Wait(0, 0), expected);
  for (const char* message : {"STATUS=Starting (checkpoint 1)\nEXTEND_TIMEOUT_USEC=3000000", "READY=1\nSTATUS=Running",
                              "STATUS=Paused", "STOPPING=1\nSTATUS=Stopping\nEXTEND_TIMEOUT_USEC=2000000",
                              "STOPPING=1\nSTATUS=Stopped"}) {
    EXPECT_EQ(systemd.Next(), message);
  }
  EXPECT_EQ(systemd.Next(100), kNothing);
}

// When the control loop can wait no more, the service stops as it does on a
// stop request, instead of hanging with its stop signal blocked. A status
// line reaches systemd as STATUS=.
TEST(SystemdServiceSide, AFailingControlWaitStopsTheService) {
  ASSERT_TRUE(kControlsBlocked);
  FakeSystemd systemd(test::UniqueName("notify"));
  ASSERT_TRUE(systemd.Bound());
  rlimit files{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
  Controls controls;
  std::vector<uint32_t> afterFailure;
  EXPECT_TRUE(RunServiceDispatcher(
      kServiceName,
      [&] {
        ASSERT_TRUE(RegisterServiceControlHandler(kServiceName));
        ASSERT_TRUE(Report(kRunning));
        ASSERT_TRUE(SendServiceStatusText("Synchronized 10:02:03 from time.example (+0.003 s)"));
        // poll() refuses more descriptors than the limit allows: the loop's
        // next wait, woken by the report below, fails.
        const rlimit one{1, files.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &one), 0);
        EXPECT_TRUE(Report(kRunning));
        afterFailure = controls.Wait(1, 10000);
        ::setrlimit(RLIMIT_NOFILE, &files);
        ASSERT_TRUE(Report(kStopped));
      },
      [&controls](uint32_t control) { controls.Add(control); }));
  ::setrlimit(RLIMIT_NOFILE, &files);
  EXPECT_EQ(afterFailure, std::vector<uint32_t>{kControlStop});
  EXPECT_EQ(systemd.Next(), "READY=1\nSTATUS=Running");
  EXPECT_EQ(systemd.Next(), "STATUS=Synchronized 10:02:03 from time.example (+0.003 s)");
}

TEST(SystemdServiceSide, OutsideAServiceTheDispatcherFailsAtOnce) {
  test::TempDir dir;
  FakeSystemd onPath(dir.File("notify"));
  FakeSystemd systemd(test::UniqueName("notify"));
  const struct { const char *why, *notifySocket, *invocationId; std::string execPid; bool service; } cases[] = {
      {"started from a shell", nullptr, nullptr, "", false},
      {"no invocation", systemd.Variable().c_str(), nullptr, "", false},
      {"no notify socket", nullptr, kInvocationId, "", false},
      {"a malformed invocation", systemd.Variable().c_str(), "0123456789abcdef", "", false},
      {"a relative notify socket", "run/notify", kInvocationId, "", false},
      {"inherited from the service's process", systemd.Variable().c_str(), kInvocationId,
       std::to_string(::getppid()), false},
      {"systemd before 248: no exec pid", onPath.Variable().c_str(), kInvocationId, "", true},
  };
  for (const auto& c : cases) {
    for (const char* name : {"NOTIFY_SOCKET", "INVOCATION_ID", "SYSTEMD_EXEC_PID"}) ::unsetenv(name);
    if (c.notifySocket != nullptr) ::setenv("NOTIFY_SOCKET", c.notifySocket, 1);
    if (c.invocationId != nullptr) ::setenv("INVOCATION_ID", c.invocationId, 1);
    if (!c.execPid.empty()) ::setenv("SYSTEMD_EXEC_PID", c.execPid.c_str(), 1);
    bool ran = false;
    SetLastError(0);
    const bool dispatched = RunServiceDispatcher(
        kServiceName, [&ran] { ran = RegisterServiceControlHandler(kServiceName) && Report(kStopped); },
        [](uint32_t) {});
    EXPECT_EQ(dispatched, c.service) << c.why;
    EXPECT_EQ(ran, c.service) << c.why;
    EXPECT_EQ(LastError(), c.service ? 0u : error::kFailedServiceControllerConnect) << c.why;
  }
  EXPECT_EQ(systemd.Next(100), kNothing);
  EXPECT_EQ(onPath.Next(), "STOPPING=1\nSTATUS=Stopped");
  // Outside the dispatcher nothing registers and nothing is reported.
  EXPECT_FALSE(RegisterServiceControlHandler(kServiceName));
  EXPECT_FALSE(Report(kStopped));
}

}  // namespace
}  // namespace orvanta
