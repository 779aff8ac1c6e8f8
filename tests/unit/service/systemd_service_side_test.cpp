// Linux only: the real service host and worker under the systemd service
// side, started in this process as systemd would start the program: the
// test opens the notify socket, sets the variables systemd passes, runs the
// dispatcher and sends the control signals to the process.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "platform/named_event.h"
#include "platform/posix/unique_fd.h"
#include "platform/service_side.h"
#include "service/service_host.h"
#include "service/service_names.h"
#include "service/sync_worker.h"
#include "service/system_service_platform.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

// A signal sent to the process goes to any thread that does not block it.
// The program blocks its control signals before it starts a thread; this
// test program does the same before main() and before GoogleTest starts any.
const bool kControlSignalsBlocked = [] {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGHUP, SIGINT, SIGUSR1, SIGUSR2, SIGTERM}) sigaddset(&set, signal);
  return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}();

const char kInvocationId[] = "0123456789abcdef0123456789ABCDEF";

const std::string kStart1 = "STATUS=Starting (checkpoint 1)\nEXTEND_TIMEOUT_USEC=3000000";
const std::string kStart2 = "STATUS=Starting (checkpoint 2)\nEXTEND_TIMEOUT_USEC=3000000";
const std::string kReady = "READY=1\nSTATUS=Running";
const std::string kPaused = "STATUS=Paused";
const std::string kStopping = "STOPPING=1\nSTATUS=Stopping\nEXTEND_TIMEOUT_USEC=3000000";
const std::string kStopped = "STOPPING=1\nSTATUS=Stopped";
const std::string kNothing = "<nothing>";

std::string Unique(const char* what) {
  static std::atomic<int> counter{0};
  return std::string("orvanta-test-") + what + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// The test's end of the notify protocol: a datagram socket, abstract or on a path.
class NotifySocket {
 public:
  // abstractName, or a path when it starts with '/'.
  explicit NotifySocket(const std::string& name) : fd_(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socklen_t length;
    if (name[0] == '/') {
      std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
      length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + 1);
      variable_ = name;
    } else {
      std::memcpy(address.sun_path + 1, name.data(), name.size());
      length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
      variable_ = "@" + name;
    }
    bound_ = bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
  }
  bool Bound() const { return bound_; }
  // What NOTIFY_SOCKET says.
  const std::string& Variable() const { return variable_; }

  // The next message, or kNothing when none came within the limit.
  std::string Next(int limitMs = 5000) {
    pollfd readable{fd_.Get(), POLLIN, 0};
    if (poll(&readable, 1, limitMs) != 1) return kNothing;
    char buffer[4096];
    const ssize_t count = recv(fd_.Get(), buffer, sizeof buffer, 0);
    return count < 0 ? kNothing : std::string(buffer, static_cast<size_t>(count));
  }

 private:
  posix::UniqueFd fd_;
  std::string variable_;
  bool bound_ = false;
};

class SystemdServiceSideTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kControlSignalsBlocked);
    eventName_ = Unique("event");
    event_ = std::shared_ptr<NamedEvent>(CreateNamedEvent(eventName_.c_str()));
    ASSERT_TRUE(event_);
    // The real worker, with passes that only count and a period of a minute.
    std::shared_ptr<NamedEvent> event = event_;
    host_ = ServiceHost::Create(SystemServicePlatform(), event_, [this, event](ServiceHost& host) {
      WorkerEnvironment env;
      env.synchronize = [this] {
        ++passes_;
        return true;
      };
      env.readPeriodMinutes = [] { return 1u; };
      env.sleep = [](uint32_t) {};
      env.stopEvent = event.get();
      env.pauseGate = &host.Gate();
      env.signalStop = [&host] { host.SignalStop(); };
      SyncWorker(env).ThreadMain();
      workerEnded_ = true;
    });
  }

  void TearDown() override {
    if (dispatcher_.joinable()) dispatcher_.join();
    // A worker still standing (in a failed test) lets go of this test's objects.
    host_->Gate().Open();
    if (event_) event_->Signal();
    for (int i = 0; i < 500 && passes_ > 0 && !workerEnded_; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // No control signal of this test may reach the next one.
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGHUP, SIGINT, SIGUSR1, SIGUSR2, SIGTERM}) sigaddset(&set, signal);
    const timespec now{0, 0};
    while (sigtimedwait(&set, nullptr, &now) > 0) {
    }
    for (const char* name : {"NOTIFY_SOCKET", "INVOCATION_ID", "SYSTEMD_EXEC_PID"}) unsetenv(name);
  }

  static void StartedBySystemd(const std::string& notifySocket, bool withExecPid = true) {
    setenv("NOTIFY_SOCKET", notifySocket.c_str(), 1);
    setenv("INVOCATION_ID", kInvocationId, 1);
    if (withExecPid) setenv("SYSTEMD_EXEC_PID", std::to_string(getpid()).c_str(), 1);
  }

  // The dispatcher on a thread of its own, as on the main thread of the program.
  void Dispatch() {
    dispatcher_ = std::thread([this] {
      std::shared_ptr<ServiceHost> host = host_;
      dispatched_ = RunServiceDispatcher(
          kServiceName, [host] { host->ServiceMain(); }, [host](uint32_t control) { host->OnControl(control); });
      returned_ = true;
    });
  }

  bool DispatcherReturns() {
    for (int i = 0; i < 500 && !returned_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return returned_;
  }

  static void Raise(int signal) { ASSERT_EQ(kill(getpid(), signal), 0); }

  std::string eventName_;
  std::shared_ptr<NamedEvent> event_;
  std::shared_ptr<ServiceHost> host_;
  std::thread dispatcher_;
  std::atomic<bool> dispatched_{false};
  std::atomic<bool> returned_{false};
  std::atomic<int> passes_{0};
  std::atomic<bool> workerEnded_{false};
};

TEST_F(SystemdServiceSideTest, StartPauseContinueInterrogateAndStopBySignals) {
  NotifySocket notify(Unique("notify"));
  ASSERT_TRUE(notify.Bound());
  StartedBySystemd(notify.Variable());
  Dispatch();
  EXPECT_EQ(notify.Next(), kStart1);
  EXPECT_EQ(notify.Next(), kStart2);
  EXPECT_EQ(notify.Next(), kReady);

  Raise(SIGUSR1);
  EXPECT_EQ(notify.Next(), kPaused);
  EXPECT_TRUE(host_->Gate().IsClosed());
  Raise(SIGHUP);
  EXPECT_EQ(notify.Next(), kPaused);  // asked while paused: paused
  Raise(SIGUSR2);
  EXPECT_EQ(notify.Next(), kReady);
  EXPECT_FALSE(host_->Gate().IsClosed());
  Raise(SIGHUP);
  EXPECT_EQ(notify.Next(), kReady);

  Raise(SIGTERM);
  EXPECT_EQ(notify.Next(), kStopping);
  EXPECT_EQ(notify.Next(), kStopped);
  ASSERT_TRUE(DispatcherReturns());
  EXPECT_TRUE(dispatched_);
  EXPECT_EQ(notify.Next(200), kNothing);
  EXPECT_EQ(passes_, 1);  // the first pass at once, then the worker waited for its minute
}

TEST_F(SystemdServiceSideTest, AnOutsideSignalOfTheNamedEventStopsWithoutAStopRequest) {
  NotifySocket notify(Unique("notify"));
  ASSERT_TRUE(notify.Bound());
  StartedBySystemd(notify.Variable());
  Dispatch();
  EXPECT_EQ(notify.Next(), kStart1);
  EXPECT_EQ(notify.Next(), kStart2);
  EXPECT_EQ(notify.Next(), kReady);

  const pid_t other = fork();
  if (other == 0) _exit(SignalNamedEvent(eventName_.c_str()) ? 0 : 1);
  int status = -1;
  ASSERT_EQ(waitpid(other, &status, 0), other);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(notify.Next(), kStopped);
  ASSERT_TRUE(DispatcherReturns());
  EXPECT_TRUE(dispatched_);
  EXPECT_TRUE(workerEnded_);
}

// As from the Windows manager, controls reach the handler only between a
// running (or paused) report and the stop-pending one; a stop sent while the
// service starts waits in the kernel until it runs.
TEST_F(SystemdServiceSideTest, ControlsReachTheHandlerOnlyWhileTheServiceRunsOrPauses) {
  NotifySocket notify(Unique("notify"));
  ASSERT_TRUE(notify.Bound());
  StartedBySystemd(notify.Variable());
  std::mutex mutex;
  std::vector<uint32_t> controls;
  auto received = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    return controls;
  };
  auto report = [](uint32_t state, uint32_t accepted) {
    ServiceStatus status;
    status.currentState = state;
    status.controlsAccepted = accepted;
    return SendServiceStatus(status);
  };
  std::vector<uint32_t> duringStartUp;
  std::vector<uint32_t> whileRunning;
  const bool dispatched = RunServiceDispatcher(
      kServiceName,
      [&] {
        ASSERT_TRUE(RegisterServiceControlHandler(kServiceName));
        ASSERT_TRUE(report(2, 0));  // start pending
        Raise(SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        duringStartUp = received();
        ASSERT_TRUE(report(4, 3));  // running: the stop comes now
        for (int i = 0; i < 500 && received().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        whileRunning = received();
        ASSERT_TRUE(report(3, 3));  // stop pending: no control any more
        Raise(SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_TRUE(report(1, 3));  // stopped
      },
      [&](uint32_t control) {
        std::lock_guard<std::mutex> lock(mutex);
        controls.push_back(control);
      });
  EXPECT_TRUE(dispatched);
  EXPECT_EQ(duringStartUp, std::vector<uint32_t>{});
  EXPECT_EQ(whileRunning, std::vector<uint32_t>{1});
  EXPECT_EQ(received(), std::vector<uint32_t>{1});
  EXPECT_EQ(notify.Next(), "STATUS=Starting (checkpoint 0)");
  EXPECT_EQ(notify.Next(), kReady);
  EXPECT_EQ(notify.Next(), "STOPPING=1\nSTATUS=Stopping");
  EXPECT_EQ(notify.Next(), kStopped);
}

TEST_F(SystemdServiceSideTest, ANotifySocketOnAPathServesAsWell) {
  test::TempDir dir;
  NotifySocket notify(dir.Path() + "/notify");
  ASSERT_TRUE(notify.Bound());
  StartedBySystemd(notify.Variable(), false);  // systemd before 248 passes no SYSTEMD_EXEC_PID
  Dispatch();
  EXPECT_EQ(notify.Next(), kStart1);
  EXPECT_EQ(notify.Next(), kStart2);
  EXPECT_EQ(notify.Next(), kReady);
  Raise(SIGINT);
  EXPECT_EQ(notify.Next(), kStopping);
  EXPECT_EQ(notify.Next(), kStopped);
  ASSERT_TRUE(DispatcherReturns());
}

TEST_F(SystemdServiceSideTest, ANotifySocketNobodyListensOnEndsTheServiceAtOnce) {
  StartedBySystemd("@" + Unique("nobody"));
  Dispatch();
  ASSERT_TRUE(DispatcherReturns());  // the first report refused: wound down, not hanging
  EXPECT_TRUE(dispatched_);
  EXPECT_EQ(passes_, 0);
}

TEST_F(SystemdServiceSideTest, WithoutSystemdTheDispatcherFailsAtOnce) {
  NotifySocket notify(Unique("notify"));
  ASSERT_TRUE(notify.Bound());
  struct Case {
    const char* why;
    const char* notifySocket;
    const char* invocationId;
    std::string execPid;
  };
  const Case cases[] = {
      {"started from a shell", nullptr, nullptr, ""},
      {"no invocation", notify.Variable().c_str(), nullptr, ""},
      {"a malformed invocation", notify.Variable().c_str(), "0123456789abcdef", ""},
      {"a relative notify socket", "run/notify", kInvocationId, ""},
      {"inherited from the service's main process", notify.Variable().c_str(), kInvocationId,
       std::to_string(getppid())},
  };
  for (const Case& c : cases) {
    for (const char* name : {"NOTIFY_SOCKET", "INVOCATION_ID", "SYSTEMD_EXEC_PID"}) unsetenv(name);
    if (c.notifySocket != nullptr) setenv("NOTIFY_SOCKET", c.notifySocket, 1);
    if (c.invocationId != nullptr) setenv("INVOCATION_ID", c.invocationId, 1);
    if (!c.execPid.empty()) setenv("SYSTEMD_EXEC_PID", c.execPid.c_str(), 1);
    bool ran = false;
    SetLastError(0);
    EXPECT_FALSE(RunServiceDispatcher(
        kServiceName, [&ran] { ran = true; }, [&ran](uint32_t) { ran = true; }))
        << c.why;
    EXPECT_EQ(LastError(), error::kFailedServiceControllerConnect) << c.why;
    EXPECT_FALSE(ran) << c.why;
  }
  EXPECT_EQ(notify.Next(100), kNothing);
  // Outside the dispatcher nothing registers and nothing is reported.
  EXPECT_FALSE(RegisterServiceControlHandler(kServiceName));
  EXPECT_FALSE(SendServiceStatus(ServiceStatus{}));
}

}  // namespace
}  // namespace orvanta
#endif
