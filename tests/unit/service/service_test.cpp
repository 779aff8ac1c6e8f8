// The service layer against recording stand-ins: the worker in a scripted
// world, the host against a service side, and the installer against a service
// manager. Pauses, waits, reports and calls go into one log per run, so a run
// is a sequence to compare.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <thread>

#include "platform/last_error.h"
#include "service/service_host.h"
#include "service/service_installer.h"
#include "service/service_names.h"
#include "service/sync_worker.h"
#include "support/recording_sleeper.h"

namespace orvanta {
namespace {

using namespace service;
using Log = std::vector<std::string>;
using Result = NamedEvent::WaitResult;

template <typename T>
T At(const std::vector<T>& script, size_t i, T otherwise) {
  return i < script.size() ? script[i] : otherwise;
}

// The named event: it logs each signal and each wait, whose result comes
// from the script: signalled past its end.
struct ScriptedEvent : NamedEvent {
  explicit ScriptedEvent(Log& into, std::vector<Result> script = {}) : log(into), waits(std::move(script)) {}
  bool AlreadyExisted() const override { return false; }
  bool Signal() override { log.push_back("signal"); return true; }
  Result Wait(uint32_t ms) override {
    log.push_back("wait " + std::to_string(ms));
    return At(waits, waited++, Result::kSignalled);
  }
  Log& log;
  std::vector<Result> waits;
  size_t waited = 0;
};

// One run of the worker's thread; its log. Past the end of a script, passes
// fail and the period is 120 minutes. With pause set the gate closes before
// the first wait; a helper opens it once the worker parks there.
Log RunWorker(std::vector<bool> passes, std::vector<Result> waits, std::vector<uint32_t> minutes = {},
              bool pause = false) {
  Log log;
  ScriptedEvent event(log, waits);
  size_t passed = 0;
  test::RecordingSleeper sleeper(log);
  PauseGate gate;
  std::thread opener([&] {
    if (pause && gate.WaitUntilParked(10000)) log.push_back("parked");
    gate.Open();
  });
  SyncWorker({[&] { log.push_back("pass"); return At(passes, passed++, false); },
              [&] { if (pause && event.waited == 0) gate.Close(); return At(minutes, event.waited, 120u); },
              &sleeper, &event, &gate, [&] { log.push_back("stop hook"); }})
      .ThreadMain();
  opener.join();
  return log;
}

// count start-up attempts, each after its pause, then the periodic phase.
Log Attempts(int count, Log periodic) {
  for (int i = 0; i < count; ++i) periodic.insert(periodic.begin(), {"sleep 5000", "pass"});
  periodic.push_back("stop hook");
  return periodic;
}

TEST(SyncWorkerTest, StartupBurstThenOnePassPerPeriodUntilTheNamedEvent) {
  const Result timedOut = Result::kTimedOut;
  // The period is read afresh before every wait.
  EXPECT_EQ(RunWorker({false, true, false, true}, {timedOut, timedOut}, {120, 5, 9999}),
            Attempts(2, {"wait 7200000", "pass", "wait 300000", "pass", "wait 599940000"}));
  EXPECT_EQ(RunWorker({}, {}), Attempts(10, {"wait 7200000"}));
  // A wait that failed at once still keeps the period.
  EXPECT_EQ(RunWorker({true}, {Result::kFailed}),
            Attempts(1, {"wait 7200000", "sleep 7200000", "pass", "wait 7200000"}));
  // Paused while a wait runs out: no pass until the gate opens.
  EXPECT_EQ(RunWorker({true}, {timedOut}, {}, true), Attempts(1, {"wait 7200000", "parked", "pass", "wait 7200000"}));
}

// type, state, accepted controls, the two exit codes, check point, wait hint
std::string Text(const ServiceStatus& s) {
  char text[96];
  std::snprintf(text, sizeof text, "status %u %u %u %u %u %u %u", s.serviceType, s.currentState, s.controlsAccepted,
                s.win32ExitCode, s.serviceSpecificExitCode, s.checkPoint, s.waitHint);
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
// The wind-down ends a waiting worker, then gives it a moment.
const std::string kSignal = "signal", kGrace = "sleep 250";

// Refusals of the service side other than a report's.
enum : size_t { kRegistrationRefused = 100, kThreadRefused };

// The service side of one host, whose main routine runs on main. The worker
// never runs: to the host it is a worker busy in a pass, never back in time.
// refuse is what to refuse: a refusal above, or the report that makes the log
// that long; the host sends every report under its status lock.
struct Rig : ServicePlatform {
  explicit Rig(size_t refused) : refuse(refused) {}
  ~Rig() override { host->SignalStop(); }  // a host that failed to stop; then main ends
  bool RegisterHandler(const char*) override { return refuse != kRegistrationRefused; }
  bool SendStatus(const ServiceStatus& status) override { log.push_back(Text(status)); return log.size() != refuse; }
  bool StartThread(std::function<void()>) override { return refuse != kThreadRefused; }

  const size_t refuse;
  Log log;
  test::RecordingSleeper sleeper{log};
  std::shared_ptr<ScriptedEvent> event = std::make_shared<ScriptedEvent>(log);
  std::shared_ptr<ServiceHost> host = ServiceHost::Create(*this, sleeper, event, [](ServiceHost&) {});
  std::future<void> main = std::async(std::launch::async, [this] { host->ServiceMain(); });
  bool Ended(int ms) { return main.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready; }
};

TEST(ServiceHostTest, ReportsFromStartToStoppedWhereverTheWorkerStands) {
  constexpr uint32_t kOutsideSignal = 0;  // the worker saw the named event signalled by another process
  const struct { size_t refuse; std::vector<uint32_t> controls; Log log; } cases[] = {
      {0, {kControlPause, kControlStop}, {kStart1, kStart2, kRun, kPause, kStopping, kSignal, kGrace, kStop}},
      {0, {kOutsideSignal}, {kStart1, kStart2, kRun, kSignal, kGrace, kStop}},
      // Start-up ended early: nothing to report to, or a refusal.
      {kRegistrationRefused, {}, {kSignal, kGrace}},
      {2, {}, {kStart1, kStart2, kSignal, kGrace, kStopRefused}},
      {3, {}, {kStart1, kStart2, kRun, kSignal, kGrace, kStopRefused}},
      {kThreadRefused, {}, {kStart1, kStart2, kSignal, kGrace, kStopNoThread}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    Rig rig(c.refuse);
    for (int i = 0; i < 20000 && rig.host->CurrentState() != kRunning && !rig.Ended(1); ++i) {
    }
    for (const uint32_t control : c.controls) {
      control == kOutsideSignal ? rig.host->SignalStop() : rig.host->OnControl(control);
    }
    ASSERT_TRUE(rig.Ended(20000)) << "the host waits for its worker";
    EXPECT_EQ(rig.log, c.log);
    EXPECT_EQ(rig.host->Failed(), c.log.back() != kStop) << "the process's exit status";
    EXPECT_EQ(rig.host->Gate().IsClosed(), (c.controls == std::vector<uint32_t>{kControlPause, kControlStop}));
  }
}

// A service manager that keeps one entry and logs every call (and the
// sleeper's pauses); it fails the test when a handle is used after its close
// or as the wrong kind, or left open. refuse names the call it refuses.
struct FakeServiceManager : ServiceManager {
  FakeServiceManager(bool isRegistered, bool isRunning, const char* refused = "")
      : registered(isRegistered), running(isRunning), refuse(refused) {}
  ~FakeServiceManager() override { EXPECT_TRUE(open.empty()) << open.size() << " handles left open"; }
  ServiceHandle OpenManager() override { return Call("OpenManager", nullptr, true, 0) ? Hand(true) : nullptr; }
  ServiceHandle CreateEntry(ServiceHandle manager, const ServiceRegistration& r) override {
    const std::string call = std::string("CreateEntry ") + r.name + " " + r.displayName + " " + r.binaryPath;
    if (!Call(call, manager, true, registered ? error::kServiceExists : 0)) return nullptr;
    registered = true;
    return Hand(false);
  }
  bool SetDescription(ServiceHandle s, const char* text) override {
    return Call(std::string("SetDescription ") + text, s, false, 0);
  }
  ServiceHandle OpenEntry(ServiceHandle manager, const char* name) override {
    const bool found = registered && name == std::string(kServiceName);
    return Call("OpenEntry", manager, true, found ? 0 : error::kServiceDoesNotExist) ? Hand(false) : nullptr;
  }
  // The state stays: the installer asks nothing after these. 1062: not running.
  bool StartEntry(ServiceHandle s) override { return Call("StartEntry", s, false, 0); }
  bool StopEntry(ServiceHandle s) override { return Call("StopEntry", s, false, running ? 0 : 1062); }
  bool DeleteEntry(ServiceHandle s) override { return Call("DeleteEntry", s, false, 0); }
  void Close(ServiceHandle handle) override {
    EXPECT_EQ(open.count(handle), 1u) << "a close of a handle not open";
    calls.push_back(open[handle] ? "CloseManager" : "CloseService");
    open.erase(handle);
    SetLastError(6);  // what a close may leave in the last-error value
  }

  // Logs the call; false, with the reason as the last-error value, when
  // refused for want of rights or failing with code.
  bool Call(const std::string& call, ServiceHandle handle, bool isManager, uint32_t code) {
    calls.push_back(call);
    EXPECT_TRUE(call == "OpenManager" || (open.count(handle) && open[handle] == isManager)) << call;
    if (!refuse.empty() && call.rfind(refuse, 0) == 0) code = error::kAccessDenied;
    if (code != 0) SetLastError(code);
    return code == 0;
  }
  ServiceHandle Hand(bool isManager) {
    const ServiceHandle handle = reinterpret_cast<ServiceHandle>(++handed);
    open[handle] = isManager;
    return handle;
  }

  bool registered, running;
  const std::string refuse;
  Log calls;
  std::map<ServiceHandle, bool> open;  // handle: is a manager handle
  uintptr_t handed = 0;
};

TEST(ServiceInstallerTest, InstallAndRemoveCallInOrderCloseEverythingAndAnswer) {
  // 259 characters and the terminator fill the path limit; the quotes do not
  // count.
  const std::string longest = "C:\\Program Files\\" + std::string(259 - 21, 'x') + ".exe";
  FakeServiceManager m(false, false);
  ASSERT_TRUE(InstallService(m, longest));
  EXPECT_EQ(m.calls, Log({"OpenManager", "CreateEntry OrvantaService OrvantaService \"" + longest + "\"",
                          "SetDescription Internet time synchronizing utility", "CloseService", "CloseManager",
                          "OpenManager", "OpenEntry", "StartEntry", "CloseService", "CloseManager"}));
  m.calls.clear();
  m.running = true;
  test::RecordingSleeper sleeper(m.calls);
  ASSERT_TRUE(RemoveService(m, sleeper));
  EXPECT_EQ(m.calls, Log({"OpenManager", "OpenEntry", "StopEntry", "CloseService", "CloseManager", "sleep 800",
                          "OpenManager", "OpenEntry", "StopEntry", "CloseService", "OpenEntry", "DeleteEntry",
                          "CloseService", "CloseManager"}));

  // Whatever the manager refuses, everything opened is closed and the answer
  // says how it went (error 0: true), or the last-error value of the step
  // that failed. A path empty or too long opens no manager at all.
  const std::string path = "C:\\orvanta.exe";
  const struct { bool remove, registered, running; const char* refuse; uint32_t error; std::string path; } cases[] = {
      {false, true, false, "", 0, path},  // an earlier entry, stopped: started as it is
      {false, false, false, "OpenManager", error::kAccessDenied, path},
      {false, false, false, "CreateEntry", error::kServiceDoesNotExist, path},
      {false, false, false, "StartEntry", error::kAccessDenied, path},
      {true, true, false, "", 0, path},  // both stop requests refused, quietly
      {true, false, false, "", error::kServiceDoesNotExist, path},
      {false, false, false, "", error::kInvalidParameter, ""},
      {false, false, false, "", error::kInvalidParameter, longest + "e"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    FakeServiceManager refusing(c.registered, c.running, c.refuse);
    test::RecordingSleeper pauses(refusing.calls);
    EXPECT_EQ(c.remove ? RemoveService(refusing, pauses) : InstallService(refusing, c.path), c.error == 0);
    EXPECT_EQ(c.error == 0 ? 0 : LastError(), c.error);
    EXPECT_TRUE(c.error != error::kInvalidParameter || refusing.calls.empty()) << "a manager was opened";
  }
}

}  // namespace
}  // namespace orvanta
