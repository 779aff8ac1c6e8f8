// The service host against a service side and a sleeper that log every report
// and pause in one sequence, with a worker that waits on the named event and
// passes the pause gate like the real one.
#include "service/service_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/recording_sleeper.h"

namespace orvanta {
namespace {

using namespace service;
using Log = std::vector<std::string>;

// type, state, accepted controls, the two exit codes, check point, wait hint
std::string Text(const ServiceStatus& s) {
  std::string text = "status";
  for (const uint32_t field : {s.serviceType, s.currentState, s.controlsAccepted, s.win32ExitCode,
                               s.serviceSpecificExitCode, s.checkPoint, s.waitHint}) {
    text += " " + std::to_string(field);
  }
  return text;
}
const std::string kStart1 = Text({kWin32OwnProcess, kStartPending, 0, 0, 0, 1, 3000});
const std::string kStart2 = Text({kWin32OwnProcess, kStartPending, 0, 0, 0, 2, 3000});
const std::string kRun = Text({kWin32OwnProcess, kRunning, 3, 0, 0, 0, 0});
const std::string kPause = Text({kWin32OwnProcess, kPaused, 3, 0, 0, 0, 0});
const std::string kStopping = Text({kWin32OwnProcess, kStopPending, 3, 0, 0, 1, 3000});
const std::string kStop = Text({kWin32OwnProcess, kStopped, 3, 0, 0, 0, 0});
// A service that could not run says so: no worker thread (1054), or a status
// report refused (1066, ours 1).
const std::string kStopNoThread = Text({kWin32OwnProcess, kStopped, 3, 1054, 0, 0, 0});
const std::string kStopRefused = Text({kWin32OwnProcess, kStopped, 3, 1066, 1, 0, 0});
const std::string kGrace = "sleep 250";

template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 20000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return condition();
}

// The named event, in process: once signalled it stays signalled.
struct LocalEvent : NamedEvent {
  bool AlreadyExisted() const override { return false; }
  bool Signal() override { return ++signals > 0; }
  WaitResult Wait(uint32_t) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return signals > 0 ? WaitResult::kSignalled : WaitResult::kTimedOut;
  }
  std::atomic<int> signals{0};
};

// The service side of one host, whose main routine runs on main, and its
// worker. The host sends every report under its status lock.
struct Rig : ServicePlatform {
  Rig() {
    host = ServiceHost::Create(*this, sleeper, event, [this](ServiceHost& h) {
      do {
        h.Gate().Pass();
        if (holdPass) {
          inPass = true;
          passEnds.Wait();
        }
      } while (event->Wait(10) != NamedEvent::WaitResult::kSignalled);
      h.Gate().Pass();
      workerEnded = true;
      h.SignalStop();
    });
  }
  ~Rig() override {
    host->SignalStop();  // a host that failed to stop
    if (main.joinable()) main.join();
    passEnds.Set();
    host->Gate().Open();
    event->Signal();
    Eventually([this] { return !threadStarted || workerEnded; });
  }
  bool RegisterHandler(const char*) override { return registers; }
  bool SendStatus(const ServiceStatus& status) override {
    log.push_back(Text(status));
    return log.size() != refuseReport;
  }
  bool StartThread(std::function<void()> body) override {
    if (!startsThread) return false;
    threadStarted = true;
    std::thread(std::move(body)).detach();
    return true;
  }
  // Runs the service main routine on main until it runs or has ended.
  bool Start() {
    main = std::thread([this] {
      host->ServiceMain();
      ended = true;
    });
    return Eventually([this] { return host->CurrentState() == kRunning || ended; });
  }

  Log log;
  test::RecordingSleeper sleeper{log};
  bool registers = true, startsThread = true;
  size_t refuseReport = 0;  // the log's length after the report to refuse
  std::shared_ptr<LocalEvent> event = std::make_shared<LocalEvent>();
  std::shared_ptr<ServiceHost> host;
  std::thread main;
  std::atomic<bool> holdPass{false}, inPass{false}, threadStarted{false}, workerEnded{false}, ended{false};
  ManualResetEvent passEnds;
};

TEST(ServiceHostTest, ReportsFromStartToStoppedWhereverTheWorkerStands) {
  enum Setup { kNormal, kInPass, kRegistrationRefused, kThreadRefused };
  constexpr uint32_t kOutsideSignal = 0;  // the named event signalled by another process
  const auto started = [](Log then) {
    then.insert(then.begin(), {kStart1, kStart2, kRun});
    return then;
  };
  const Log stopped = started({kStopping, kGrace, kStop});
  const struct {
    Setup setup;
    size_t refuseReport;
    std::vector<uint32_t> controls;
    bool parked;  // the worker is left parked at the gate
    Log log;
  } cases[] = {
      {kNormal, 0, {kControlStop}, false, stopped},
      {kNormal, 4, {kControlStop}, false, stopped},  // stop pending refused
      {kInPass, 0, {kControlStop}, false, stopped},
      {kNormal, 0, {kControlPause, kControlStop}, true, started({kPause, kStopping, kGrace, kStop})},
      {kNormal, 0, {kControlPause, kControlInterrogate, kControlContinue, kControlContinue, kControlInterrogate,
                    kControlStop}, false, started({kPause, kPause, kRun, kRun, kRun, kStopping, kGrace, kStop})},
      {kNormal, 0, {kOutsideSignal}, false, started({kGrace, kStop})},
      {kNormal, 3, {}, false, started({kGrace, kStopRefused})},  // the running report refused
      // Start-up ended early: nothing to report to, or a refusal before running.
      {kRegistrationRefused, 0, {}, false, {kGrace}},
      {kNormal, 1, {}, false, {kStart1, kGrace, kStopRefused}},
      {kNormal, 2, {}, false, {kStart1, kStart2, kGrace, kStopRefused}},
      {kThreadRefused, 0, {}, false, {kStart1, kStart2, kGrace, kStopNoThread}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "setup " << c.setup << ", refused report " << c.refuseReport
                                    << ", controls " << testing::PrintToString(c.controls));
    Rig rig;
    rig.refuseReport = c.refuseReport;
    rig.holdPass = c.setup == kInPass;
    rig.registers = c.setup != kRegistrationRefused;
    rig.startsThread = c.setup != kThreadRefused;
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(!rig.holdPass || Eventually([&rig] { return rig.inPass.load(); }));
    for (const uint32_t control : c.controls) {
      if (control == kOutsideSignal) rig.event->Signal();
      if (control != kOutsideSignal) rig.host->OnControl(control);
      ASSERT_TRUE(control != kControlPause || rig.host->Gate().WaitUntilParked(10000));
      ASSERT_TRUE(control != kControlContinue || Eventually([&rig] { return !rig.host->Gate().WorkerParked(); }));
    }
    // Without waiting for a worker in a pass or parked.
    ASSERT_TRUE(Eventually([&rig] { return rig.ended.load(); }));
    EXPECT_EQ(rig.log, c.log);
    const bool failed = c.setup == kRegistrationRefused || c.log.back() == kStopNoThread || c.log.back() == kStopRefused;
    EXPECT_EQ(rig.host->Failed(), failed) << "the process's exit status";
    EXPECT_GE(rig.event->signals, 1) << "the wind-down ends a waiting worker";
    const bool endsItself = rig.threadStarted && !rig.holdPass && !c.parked;
    EXPECT_TRUE(endsItself ? Eventually([&rig] { return rig.workerEnded.load(); }) : !rig.workerEnded);
    EXPECT_EQ(rig.host->Gate().IsClosed(), c.parked);
    // Late stop requests, from the worker or the handler, change nothing.
    rig.host->SignalStop();
    for (const uint32_t control : {kControlStop, kControlPause, kControlInterrogate}) rig.host->OnControl(control);
    EXPECT_EQ(rig.log, c.log);
  }
}

}  // namespace
}  // namespace orvanta
