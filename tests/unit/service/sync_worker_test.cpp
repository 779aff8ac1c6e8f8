// The periodic worker with scripted passes, waits and periods: every sleep
// and wait is recorded instead of taken, so the tests run in milliseconds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/sync_worker.h"
#include "settings/settings_file.h"
#include "settings/settings_readers.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using Result = NamedEvent::WaitResult;

// A named event whose waits return at once: signalled when a signal is
// pending, otherwise as scripted (time-out by default). Every wait is logged.
class ScriptedEvent : public NamedEvent {
 public:
  explicit ScriptedEvent(std::vector<std::string>& log) : log_(log) {}
  bool AlreadyExisted() const override { return false; }
  bool Signal() override {
    pending_ = true;
    return true;
  }
  Result Wait(uint32_t timeoutMs) override {
    log_.push_back("wait " + std::to_string(timeoutMs));
    if (beforeWait) beforeWait();
    if (pending_.exchange(false)) return Result::kSignalled;
    if (!script.empty()) {
      const Result r = script.front();
      script.pop_front();
      if (r != Result::kTimedOut) return r;
    }
    if (++waits_ >= maxWaits) return Result::kSignalled;  // ends runaway loops in a failing test
    return Result::kTimedOut;
  }

  std::deque<Result> script;
  std::function<void()> beforeWait;
  int maxWaits = 50;

 private:
  std::vector<std::string>& log_;
  std::atomic<bool> pending_{false};
  int waits_ = 0;
};

class SyncWorkerTest : public testing::Test {
 protected:
  SyncWorkerTest() : settings_(dir_.Path() + "/orvanta.ini"), event_(log_) {}

  WorkerEnvironment Environment() {
    WorkerEnvironment env;
    env.synchronize = [this] {
      log_.push_back("pass");
      if (duringPass) duringPass();
      const bool ok = !passResults.empty() && passResults.front();
      if (!passResults.empty()) passResults.pop_front();
      return ok;
    };
    env.readPeriodMinutes = [this] { return ReadPeriodMinutes(settings_); };
    env.sleep = [this](uint32_t ms) { log_.push_back("sleep " + std::to_string(ms)); };
    env.stopEvent = &event_;
    env.signalStop = [this] { log_.push_back("stop hook"); };
    return env;
  }

  std::vector<std::string> StartupLog(int failures, bool succeeds) {
    std::vector<std::string> expected;
    for (int i = 0; i < failures + (succeeds ? 1 : 0); ++i) {
      expected.push_back("sleep 5000");
      expected.push_back("pass");
    }
    return expected;
  }

  test::TempDir dir_;
  SettingsFile settings_;
  std::vector<std::string> log_;
  ScriptedEvent event_;
  std::deque<bool> passResults;
  std::function<void()> duringPass;
};

TEST_F(SyncWorkerTest, FirstAttemptSucceedsThenOnePassPerPeriod) {
  passResults = {true, false, true};
  event_.script = {Result::kTimedOut, Result::kTimedOut, Result::kSignalled};
  EXPECT_EQ(SyncWorker(Environment()).Run(), 0);
  std::vector<std::string> expected = StartupLog(0, true);
  for (const char* step : {"wait 7200000", "pass", "wait 7200000", "pass", "wait 7200000"}) expected.push_back(step);
  EXPECT_EQ(log_, expected);
}

TEST_F(SyncWorkerTest, TenFailedAttemptsThenAFullWait) {
  event_.script = {Result::kSignalled};
  EXPECT_EQ(SyncWorker(Environment()).Run(), 0);
  std::vector<std::string> expected = StartupLog(10, false);
  expected.push_back("wait 7200000");
  EXPECT_EQ(log_, expected);
}

TEST_F(SyncWorkerTest, PeriodIsClampedBeforeEveryWait) {
  struct Case {
    const char* period;  // nullptr: no key
    uint32_t waitMs;
  };
  const Case cases[] = {{nullptr, 7200000}, {"0", 7200000},     {"1", 60000},       {"9999", 599940000},
                        {"10000", 599940000}, {"-1", 599940000}, {"junk", 7200000}};
  for (const Case& c : cases) {
    if (c.period != nullptr) {
      ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", c.period));
    }
    log_.clear();
    passResults = {true};
    event_.script = {Result::kSignalled};
    SyncWorker(Environment()).Run();
    EXPECT_EQ(log_.back(), "wait " + std::to_string(c.waitMs)) << (c.period ? c.period : "missing");
  }
}

TEST_F(SyncWorkerTest, PeriodChangedDuringAWaitCountsFromTheNextWait) {
  passResults = {true};
  int waits = 0;
  event_.beforeWait = [&] {
    if (++waits == 1) {
      ASSERT_TRUE(settings_.WriteString("OPTIONS", "period", "5"));
    }
  };
  event_.script = {Result::kTimedOut, Result::kSignalled};
  SyncWorker(Environment()).Run();
  std::vector<std::string> expected = StartupLog(0, true);
  for (const char* step : {"wait 7200000", "pass", "wait 300000"}) expected.push_back(step);
  EXPECT_EQ(log_, expected);
}

TEST_F(SyncWorkerTest, SignalDuringAPassEndsTheWorkerAtTheNextWait) {
  passResults = {true, true};
  int passes = 0;
  duringPass = [&] {
    if (++passes == 2) {
      event_.Signal();
    }
  };
  event_.script = {Result::kTimedOut};
  EXPECT_EQ(SyncWorker(Environment()).Run(), 0);
  std::vector<std::string> expected = StartupLog(0, true);
  for (const char* step : {"wait 7200000", "pass", "wait 7200000"}) expected.push_back(step);
  EXPECT_EQ(log_, expected);
}

TEST_F(SyncWorkerTest, SignalDuringStartupIsKeptForTheFirstWait) {
  passResults = {false, false, true};
  event_.Signal();
  EXPECT_EQ(SyncWorker(Environment()).Run(), 0);
  std::vector<std::string> expected = StartupLog(2, true);
  expected.push_back("wait 7200000");
  EXPECT_EQ(log_, expected);
}

TEST_F(SyncWorkerTest, FailedWaitStillKeepsThePeriod) {
  passResults = {true};
  event_.script = {Result::kFailed, Result::kSignalled};
  SyncWorker(Environment()).Run();
  std::vector<std::string> expected = StartupLog(0, true);
  for (const char* step : {"wait 7200000", "sleep 7200000", "pass", "wait 7200000"}) expected.push_back(step);
  EXPECT_EQ(log_, expected);
}

TEST_F(SyncWorkerTest, ThreadMainCallsTheStopHookWhenTheLoopEnds) {
  passResults = {true};
  event_.script = {Result::kSignalled};
  SyncWorker(Environment()).ThreadMain();
  EXPECT_EQ(log_.back(), "stop hook");
}

// Paused while a wait runs out: no pass until the worker is let go, then one at once.
TEST_F(SyncWorkerTest, WaitThatRanOutWhilePausedPassesOnlyAfterContinue) {
  PauseGate gate;
  std::atomic<int> passes{0};
  WorkerEnvironment env = Environment();
  env.pauseGate = &gate;
  env.synchronize = [&] {
    ++passes;
    return true;
  };
  env.sleep = [](uint32_t) {};
  event_.beforeWait = [&] {
    if (passes == 1) gate.Close();  // the pause arrives while the first periodic wait runs
  };
  event_.script = {Result::kTimedOut, Result::kSignalled};
  std::thread worker([&] { SyncWorker(env).Run(); });
  ASSERT_TRUE(gate.WaitUntilParked(5000));
  EXPECT_EQ(passes, 1);  // the start-up pass only
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(passes, 1);
  gate.Open();
  worker.join();
  EXPECT_EQ(passes, 2);
}

}  // namespace
}  // namespace orvanta
