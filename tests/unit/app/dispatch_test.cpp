// Start-up's dispatch of the command line, driven with recording stand-ins
// for the operating system and for the roles' routines.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/time_sync_app.h"
#include "support/recording_log.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

class FixedEvent : public NamedEvent {
 public:
  explicit FixedEvent(bool existed) : existed_(existed) {}
  bool AlreadyExisted() const override { return existed_; }
  bool Signal() override { return true; }
  WaitResult Wait(uint32_t) override { return WaitResult::kSignalled; }

 private:
  bool existed_;
};

class DispatchTest : public testing::Test, public Sleeper {
 protected:
  void Sleep(uint32_t ms) override { log_.push_back("sleep " + std::to_string(ms)); }

  StartupServices Services() {
    StartupServices services;
    services.executablePath = dir_.File("orvanta.exe");
    services.sleeper = this;
    services.launchInstaller = [this](const std::string& line) {
      log_.push_back("launch " + line);
      return true;
    };
    services.createNamedEvent = [this](const char* name) {
      log_.push_back(std::string("event ") + name);
      return std::unique_ptr<NamedEvent>(std::make_unique<FixedEvent>(eventExists_));
    };
    services.synchronize = [this](const SettingsFile&, PassReport&) {
      log_.push_back("pass");
      return passSucceeds_;
    };
    services.openLog = [this](bool toTerminal) {
      log_.push_back(toTerminal ? "log to terminal" : "log");
      return std::unique_ptr<LogSink>(std::make_unique<test::RecordingLog>());
    };
    services.queryServers = [this](const std::vector<std::string>& hosts,
                                   const std::function<void(const std::string&)>& print) {
      for (const std::string& host : hosts) print("asked " + host);
      return answers_;
    };
    services.writeConsole = [this](const std::string& line, bool error) {
      log_.push_back((error ? "stderr " : "stdout ") + line);
    };
    return services;
  }

  RoleRoutines Routines() {
    RoleRoutines routines;
    routines.options = [this](TimeSyncApp& app) {
      log_.push_back("options " + app.Title());
      return 0;
    };
    routines.installService = [this](TimeSyncApp&) { return Role("install"); };
    routines.removeService = [this](TimeSyncApp&) { return Role("remove"); };
    routines.runWorker = [this](TimeSyncApp&, std::shared_ptr<NamedEvent>) { Role("worker"); };
    routines.runServiceDispatcher = [this](TimeSyncApp&, std::shared_ptr<NamedEvent>) { Role("service"); };
    return routines;
  }
  bool Role(const char* name) {
    log_.push_back(name);
    return true;
  }

  // Runs start-up with these arguments; the log of what it did, and its exit status.
  std::vector<std::string> Run(std::vector<const char*> args, int* exitCode = nullptr, bool withRoutines = true) {
    log_.clear();
    args.insert(args.begin(), "orvanta.exe");
    TimeSyncApp app(Services(), withRoutines ? Routines() : RoleRoutines());
    EXPECT_FALSE(app.InitInstance(static_cast<int>(args.size()), args.data()));
    if (exitCode != nullptr) *exitCode = app.ExitCode();
    return log_;
  }

  test::TempDir dir_;
  std::vector<std::string> log_;
  bool eventExists_ = false;
  bool passSucceeds_ = true;
  int answers_ = 1;
};

using Log = std::vector<std::string>;

TEST_F(DispatchTest, EachWordReachesItsRoleWhateverItsCase) {
  const std::string event = "event Global\\OrvantaServiceEvent";
  struct Case {
    std::vector<const char*> args;
    Log expected;
  };
  const Case cases[] = {
      {{"OpTiOnS"}, {"options Orvanta"}},
      {{"ONCE"}, {"log", "sleep 4000", "pass"}},
      {{"InstallMe"}, {"install"}},  // beside a running service: no guard
      {{"UNINSTALLME"}, {"remove"}},
      {{"Debug"}, {event, "log to terminal", "worker"}},
      {{}, {event, "log", "service"}},
      {{"nonsense", "more"}, {event, "log", "service"}},
      {{"/I"}, {event, "log", "service"}},  // alone it is just another word
      // The option as typed, the package unquoted, further words ignored.
      {{"/i", "C:\\Setup Files\\orvanta.msi", "x"}, {"launch MsiExec.exe /i C:\\Setup Files\\orvanta.msi"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.args), c.expected) << (c.args.empty() ? "" : c.args[0]);
}

TEST_F(DispatchTest, SecondBackgroundInstanceAndMissingRoutinesEndAtOnce) {
  eventExists_ = true;
  int status = -1;
  EXPECT_EQ(Run({"debug"}, &status), Log{"event Global\\OrvantaServiceEvent"});
  EXPECT_EQ(status, kExitSuccess);
  eventExists_ = false;
  for (const char* word : {"options", "installme", "uninstallme", "debug"}) {
    Run({word}, &status, false);
    EXPECT_EQ(status, kExitSuccess) << word;
  }
}

TEST_F(DispatchTest, OnceWaitsItsClampedDelayAndTellsWhetherTheClockWasSet) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "sleep 4000"},         {"3", "sleep 4000"},      {"5", "sleep 5000"}, {"junk", "sleep 4000"},
      {"86400", "sleep 86400000"}, {"86401", "sleep 10000"}, {"-1", "sleep 10000"},
  };
  SettingsFile settings(dir_.File("orvanta.ini"));
  for (const auto& c : cases) {
    ASSERT_TRUE(settings.WriteString("OPTIONS", "delay", c.first));
    EXPECT_EQ(Run({"once"}), (Log{"log", c.second, "pass"})) << c.first;
  }
  int status = -1;
  Run({"once"}, &status);
  EXPECT_EQ(status, kExitSuccess);
  passSucceeds_ = false;
  Run({"once"}, &status);
  EXPECT_EQ(status, kExitNotSynchronized);
}

// "query" asks the hosts given, else the stored servers; it sets nothing and
// writes nothing, and its status says whether any server answered.
TEST_F(DispatchTest, QueryReportsAndTellsWhetherAnyServerAnswered) {
  int status = -1;
  EXPECT_EQ(Run({"Query", "a.example", "127.0.0.1"}, &status),
            (Log{"stdout asked a.example", "stdout asked 127.0.0.1"}));
  EXPECT_EQ(status, kExitSuccess);
  answers_ = 0;
  EXPECT_EQ(Run({"query"}, &status), Log{"stdout asked pool.ntp.org"});
  EXPECT_EQ(status, kExitFailure);
  SettingsFile(dir_.File("orvanta.ini")).WriteString("SERVERS", "server_1", "stored.example");
  EXPECT_EQ(Run({"query"}), Log{"stdout asked stored.example"});
  EXPECT_EQ(Run({"query", "a.example", "-v"}, &status), Log{"stderr usage: orvanta query [HOST...]"});
  EXPECT_EQ(status, kExitUsage);
  EXPECT_FALSE(test::ReadBytes(dir_.File("orvanta.ini")).find("INFO") != std::string::npos);
}

}  // namespace
}  // namespace orvanta
