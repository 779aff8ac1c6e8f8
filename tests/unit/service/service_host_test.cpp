// The service host driven through a fake service side that records every
// report, with a worker that waits on the named event like the real one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "service/service_host.h"

namespace orvanta {
namespace {

using namespace service;

// An in-process stand-in for the named event: automatic reset.
class LocalEvent : public NamedEvent {
 public:
  bool AlreadyExisted() const override { return false; }
  bool Signal() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      signalled_ = true;
      ++signals;
    }
    changed_.notify_all();
    return true;
  }
  WaitResult Wait(uint32_t timeoutMs) override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; }))
      return WaitResult::kTimedOut;
    signalled_ = false;
    return WaitResult::kSignalled;
  }
  std::atomic<int> signals{0};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

class FakeServiceSide : public ServicePlatform {
 public:
  bool RegisterHandler(const char*) override { return registerOk; }
  bool SendStatus(const ServiceStatus& status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    reports.push_back(status);
    return refuseReport != static_cast<int>(reports.size());
  }
  bool StartThread(std::function<void()> body) override {
    if (!threadOk) return false;
    std::thread(std::move(body)).detach();
    return true;
  }
  void Sleep(uint32_t ms) override {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps.push_back(ms);
  }
  std::vector<ServiceStatus> Reports() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports;
  }

  bool registerOk = true;
  bool threadOk = true;
  int refuseReport = 0;  // 1-based number of the report to refuse; 0: none
  std::vector<uint32_t> sleeps;

 private:
  std::mutex mutex_;
  std::vector<ServiceStatus> reports;
};

ServiceStatus Report(uint32_t state, uint32_t accepted, uint32_t checkPoint, uint32_t waitHint) {
  ServiceStatus s;
  s.serviceType = kWin32OwnProcess;
  s.currentState = state;
  s.controlsAccepted = accepted;
  s.checkPoint = checkPoint;
  s.waitHint = waitHint;
  return s;
}
const ServiceStatus kStart1 = Report(kStartPending, 0, 1, 3000);
const ServiceStatus kStart2 = Report(kStartPending, 0, 2, 3000);
const ServiceStatus kRun = Report(kRunning, 3, 0, 0);
const ServiceStatus kPause = Report(kPaused, 3, 0, 0);
const ServiceStatus kStopping = Report(kStopPending, 3, 1, 3000);
const ServiceStatus kStop = Report(kStopped, 3, 0, 0);

class ServiceHostTest : public testing::Test {
 protected:
  void SetUp() override {
    event_ = std::make_shared<LocalEvent>();
    // Like the real worker: safe point, wait for the named event, safe point, end.
    host_ = ServiceHost::Create(side_, event_, [this](ServiceHost& host) {
      workerStarted_ = true;
      for (;;) {
        host.Gate().Pass();
        if (inPass_) {
          passEntered_ = true;
          std::unique_lock<std::mutex> lock(passMutex_);
          passCanEnd_.wait(lock, [this] { return !inPass_; });
        }
        if (event_->Wait(10) == NamedEvent::WaitResult::kSignalled) break;
      }
      host.Gate().Pass();
      workerEnded_ = true;
      host.SignalStop();
    });
  }
  void StartService() {
    main_ = std::thread([this] { host_->ServiceMain(); });
    ASSERT_TRUE(WaitFor([this] { return host_->CurrentState() == kRunning; }));
  }
  void Join() {
    if (main_.joinable()) main_.join();
  }
  template <typename Condition>
  static bool WaitFor(Condition condition) {
    for (int i = 0; i < 500; ++i) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
  }
  void TearDown() override {
    Join();
    {
      std::lock_guard<std::mutex> lock(passMutex_);
      inPass_ = false;
    }
    passCanEnd_.notify_all();
    host_->Gate().Open();
    event_->Signal();
    WaitFor([this] { return !workerStarted_ || workerEnded_; });
  }

  FakeServiceSide side_;
  std::shared_ptr<LocalEvent> event_;
  std::shared_ptr<ServiceHost> host_;
  std::thread main_;
  std::atomic<bool> workerStarted_{false};
  std::atomic<bool> workerEnded_{false};
  std::atomic<bool> inPass_{false};
  std::atomic<bool> passEntered_{false};
  std::mutex passMutex_;
  std::condition_variable passCanEnd_;
};

TEST_F(ServiceHostTest, StartReportsThreeTimesAndStopWindsDown) {
  StartService();
  EXPECT_EQ(side_.Reports(), (std::vector<ServiceStatus>{kStart1, kStart2, kRun}));
  host_->OnControl(kControlStop);
  Join();
  EXPECT_EQ(side_.Reports(), (std::vector<ServiceStatus>{kStart1, kStart2, kRun, kStopping, kStop}));
  EXPECT_EQ(side_.sleeps, (std::vector<uint32_t>{250}));
  EXPECT_TRUE(WaitFor([this] { return workerEnded_.load(); }));
}

TEST_F(ServiceHostTest, StopDuringAPassDoesNotWaitForThePass) {
  inPass_ = true;
  StartService();
  ASSERT_TRUE(WaitFor([this] { return passEntered_.load(); }));
  host_->OnControl(kControlStop);
  Join();  // returns although the worker is still in its pass
  EXPECT_EQ(side_.Reports().back(), kStop);
  EXPECT_FALSE(workerEnded_);
}

TEST_F(ServiceHostTest, PauseParksTheWorkerAndContinueLetsItGo) {
  StartService();
  host_->OnControl(kControlPause);
  EXPECT_TRUE(host_->Gate().WaitUntilParked(5000));
  host_->OnControl(kControlInterrogate);
  host_->OnControl(kControlContinue);
  EXPECT_TRUE(WaitFor([this] { return !host_->Gate().WorkerParked(); }));
  host_->OnControl(kControlContinue);  // while running: repeated, nothing else
  host_->OnControl(kControlInterrogate);
  EXPECT_EQ(side_.Reports(), (std::vector<ServiceStatus>{kStart1, kStart2, kRun, kPause, kPause, kRun, kRun, kRun}));
  host_->OnControl(kControlStop);
  Join();
  EXPECT_TRUE(WaitFor([this] { return workerEnded_.load(); }));
}

TEST_F(ServiceHostTest, StopWhilePausedLeavesTheWorkerParked) {
  StartService();
  host_->OnControl(kControlPause);
  ASSERT_TRUE(host_->Gate().WaitUntilParked(5000));
  host_->OnControl(kControlStop);
  Join();
  EXPECT_EQ(side_.Reports(), (std::vector<ServiceStatus>{kStart1, kStart2, kRun, kPause, kStopping, kStop}));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(host_->Gate().WorkerParked());
  EXPECT_FALSE(workerEnded_);
}

TEST_F(ServiceHostTest, OutsideSignalOfTheNamedEventStopsWithoutStopPending) {
  StartService();
  event_->Signal();
  Join();
  EXPECT_EQ(side_.Reports(), (std::vector<ServiceStatus>{kStart1, kStart2, kRun, kStop}));
}

TEST_F(ServiceHostTest, RefusedRegistrationSendsNothing) {
  side_.registerOk = false;
  host_->ServiceMain();
  EXPECT_TRUE(side_.Reports().empty());
  EXPECT_EQ(event_->signals, 1);
  EXPECT_EQ(side_.sleeps, (std::vector<uint32_t>{250}));
}

TEST_F(ServiceHostTest, ARefusedReportAtAnyStartStepEndsInStopped) {
  const std::vector<std::vector<ServiceStatus>> expected = {
      {kStart1, kStop}, {kStart1, kStart2, kStop}, {kStart1, kStart2, kRun, kStop}};
  for (int refused = 1; refused <= 3; ++refused) {
    FakeServiceSide side;
    side.refuseReport = refused;
    auto event = std::make_shared<LocalEvent>();
    auto host = ServiceHost::Create(side, event, [event](ServiceHost& h) {
      while (event->Wait(10) != NamedEvent::WaitResult::kSignalled) {
      }
      h.SignalStop();
    });
    host->ServiceMain();
    EXPECT_EQ(side.Reports(), expected[refused - 1]) << "refused report " << refused;
    EXPECT_GE(event->signals, 1);
  }
}

TEST_F(ServiceHostTest, WorkerThatCannotStartEndsInStopped) {
  side_.threadOk = false;
  host_->ServiceMain();
  EXPECT_EQ(side_.Reports(), (std::vector<ServiceStatus>{kStart1, kStart2, kStop}));
}

TEST_F(ServiceHostTest, RefusedStopReportStillStops) {
  side_.refuseReport = 4;
  StartService();
  host_->OnControl(kControlStop);
  Join();
  EXPECT_EQ(side_.Reports(), (std::vector<ServiceStatus>{kStart1, kStart2, kRun, kStopping, kStop}));
}

TEST_F(ServiceHostTest, SignalsAfterTheEndHaveNoEffect) {
  StartService();
  host_->OnControl(kControlStop);
  Join();
  host_->SignalStop();  // the worker's late signal, and the handler's
  host_->OnControl(kControlStop);
  host_->OnControl(kControlPause);
  EXPECT_EQ(side_.Reports().size(), 5u);
}

}  // namespace
}  // namespace orvanta
