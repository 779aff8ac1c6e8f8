// The worker with scripted passes, periods and waits: every pause and wait is
// logged instead of taken, so a run is a sequence the test can compare.
#include "service/sync_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "support/recording_sleeper.h"

namespace orvanta {
namespace {

using Result = NamedEvent::WaitResult;
using Log = std::vector<std::string>;

template <typename T>
T Take(std::deque<T>& script, T otherwise) {
  const T next = script.empty() ? otherwise : script.front();
  if (!script.empty()) script.pop_front();
  return next;
}

// The worker's world, scripted: when a script runs out, passes fail, the
// period is 120 minutes and waits are signalled.
struct World : NamedEvent {
  World(std::deque<bool> results, std::deque<Result> waitResults, std::deque<uint32_t> minutes = {})
      : passResults(results), periods(minutes), waits(waitResults) {}
  bool AlreadyExisted() const override { return false; }
  bool Signal() override { return false; }
  Result Wait(uint32_t timeoutMs) override {
    log.push_back("wait " + std::to_string(timeoutMs));
    return Take(waits, Result::kSignalled);
  }
  WorkerEnvironment Environment() {
    return {[this] { log.push_back("pass"); ++passes; return Take(passResults, false); },
            [this] { if (passes == pauseAfterPasses) gate.Close(); return Take(periods, 120u); },
            &sleeper, this, &gate, [this] { log.push_back("stop hook"); }};
  }
  // The worker's thread from start to end; its log.
  Log Run() {
    SyncWorker(Environment()).ThreadMain();
    return log;
  }

  Log log;
  test::RecordingSleeper sleeper{log};
  std::deque<bool> passResults;
  std::deque<uint32_t> periods;  // minutes, as the clamping reader returns them
  std::deque<Result> waits;
  PauseGate gate;
  std::atomic<int> passes{0};
  int pauseAfterPasses = -1;  // closes the gate before the wait that follows
};

Log Attempts(int count, const Log& periodic) {
  Log log;
  for (int i = 0; i < count; ++i) log.insert(log.end(), {"sleep 5000", "pass"});
  log.insert(log.end(), periodic.begin(), periodic.end());
  log.push_back("stop hook");
  return log;
}

TEST(SyncWorkerTest, StartupBurstThenOnePassPerPeriodUntilTheNamedEvent) {
  // The period is read afresh before every wait.
  EXPECT_EQ(World({true, false, true}, {Result::kTimedOut, Result::kTimedOut}, {120, 5, 9999}).Run(),
            Attempts(1, {"wait 7200000", "pass", "wait 300000", "pass", "wait 599940000"}));
  EXPECT_EQ(World({false, false, true}, {}).Run(), Attempts(3, {"wait 7200000"}));
  EXPECT_EQ(World({}, {}).Run(), Attempts(10, {"wait 7200000"}));
  // A wait that failed at once still keeps the period.
  EXPECT_EQ(World({true}, {Result::kFailed}).Run(),
            Attempts(1, {"wait 7200000", "sleep 7200000", "pass", "wait 7200000"}));
}

// Paused before the first attempt, or while a wait runs out: no pass until
// the gate opens, then the worker goes on where it stood.
TEST(SyncWorkerTest, PausedWorkerParksAtItsSafePoints) {
  for (const bool duringWait : {false, true}) {
    World world({true}, {Result::kTimedOut});
    world.pauseAfterPasses = duringWait ? 1 : -1;
    if (!duringWait) world.gate.Close();
    std::thread worker([&world] { SyncWorker(world.Environment()).Run(); });
    EXPECT_TRUE(world.gate.WaitUntilParked(10000)) << duringWait;
    EXPECT_EQ(world.passes, duringWait ? 1 : 0);
    world.gate.Open();
    worker.join();
    EXPECT_EQ(world.passes, 2);
  }
}

}  // namespace
}  // namespace orvanta
