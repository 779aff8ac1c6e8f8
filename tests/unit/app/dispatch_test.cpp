// Start-up's dispatch of the command line, driven with recording stand-ins
// for the operating system and for the roles' routines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/time_sync_app.h"
#include "service/service_names.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

class RecordingEvent : public NamedEvent {
 public:
  explicit RecordingEvent(bool existed) : existed_(existed) {}
  bool AlreadyExisted() const override { return existed_; }
  bool Signal() override { return true; }
  WaitResult Wait(uint32_t) override { return WaitResult::kSignalled; }

 private:
  bool existed_;
};

struct Record {
  std::vector<uint32_t> sleeps;
  std::vector<std::string> launched;
  std::vector<std::string> eventsCreated;
  std::vector<std::string> roles;
  int passes = 0;
};

class DispatchTest : public testing::Test {
 protected:
  StartupServices Services() {
    StartupServices services;
    services.executablePath = dir_.Path() + "/orvanta.exe";
    services.sleep = [this](uint32_t ms) { record_.sleeps.push_back(ms); };
    services.launchCommand = [this](const std::string& line) {
      record_.launched.push_back(line);
      return true;
    };
    services.createNamedEvent = [this](const char* name) {
      record_.eventsCreated.push_back(name);
      return std::unique_ptr<NamedEvent>(std::make_unique<RecordingEvent>(eventExists_));
    };
    services.synchronize = [this](const SettingsFile&) {
      ++record_.passes;
      return passSucceeds_;
    };
    return services;
  }

  RoleRoutines Routines() {
    RoleRoutines routines;
    routines.options = [this](TimeSyncApp&) {
      record_.roles.push_back("options");
      return 0;
    };
    routines.installService = [this](TimeSyncApp&) {
      record_.roles.push_back("install");
      return true;
    };
    routines.removeService = [this](TimeSyncApp&) {
      record_.roles.push_back("remove");
      return true;
    };
    routines.runWorker = [this](TimeSyncApp&, std::shared_ptr<NamedEvent>) { record_.roles.push_back("worker"); };
    routines.runServiceDispatcher = [this](TimeSyncApp&, std::shared_ptr<NamedEvent>) { record_.roles.push_back("service"); };
    return routines;
  }

  int Run(std::vector<const char*> args) {
    args.insert(args.begin(), "orvanta.exe");
    TimeSyncApp app(Services(), Routines());
    EXPECT_FALSE(app.InitInstance(static_cast<int>(args.size()), args.data()));
    title_ = app.Title();
    settingsPath_ = app.Settings().Path();
    return app.ExitCode();
  }

  void WriteDelay(const char* value) {
    SettingsFile settings(dir_.Path() + "/orvanta.ini");
    ASSERT_TRUE(settings.WriteString("OPTIONS", "delay", value));
  }

  test::TempDir dir_;
  Record record_;
  bool eventExists_ = false;
  bool passSucceeds_ = true;
  std::string title_;
  std::string settingsPath_;
};

TEST_F(DispatchTest, WordsAreRecognisedWhateverTheirCase) {
  for (const char* word : {"options", "OPTIONS", "OpTiOnS"}) Run({word});
  EXPECT_EQ(record_.roles, (std::vector<std::string>{"options", "options", "options"}));
  EXPECT_EQ(title_, "Orvanta");

  record_ = Record();
  for (const char* word : {"once", "ONCE", "oNcE"}) Run({word});
  EXPECT_EQ(record_.passes, 3);
  EXPECT_TRUE(record_.roles.empty());

  record_ = Record();
  Run({"InstallMe"});
  Run({"UNINSTALLME"});
  Run({"Debug"});
  EXPECT_EQ(record_.roles, (std::vector<std::string>{"install", "remove", "worker"}));
  // Installation and removal run beside a running service: no guard for them.
  EXPECT_EQ(record_.eventsCreated, (std::vector<std::string>{kServiceEventName}));
}

TEST_F(DispatchTest, SettingsLieBesideTheExecutable) {
  Run({"once"});
  EXPECT_EQ(settingsPath_, dir_.Path() + "/orvanta.ini");
}

TEST_F(DispatchTest, NoArgumentAndUnknownWordsRunTheService) {
  Run({});
  Run({"nonsense", "more", "words"});
  Run({"/I"});  // alone it is just another unknown word
  EXPECT_EQ(record_.roles, (std::vector<std::string>{"service", "service", "service"}));
  EXPECT_EQ(record_.eventsCreated.size(), 3u);
  EXPECT_TRUE(record_.launched.empty());
  EXPECT_EQ(title_, "");
}

TEST_F(DispatchTest, InstallerOptionHandsItsArgumentToTheInstaller) {
  Run({"/I", "C:\\Setup Files\\orvanta.msi"});
  Run({"/i", "pkg.msi", "ignored"});
  // Exactly as typed: the option in the user's case, the package unquoted.
  EXPECT_EQ(record_.launched,
            (std::vector<std::string>{"MsiExec.exe /I C:\\Setup Files\\orvanta.msi", "MsiExec.exe /i pkg.msi"}));
  EXPECT_TRUE(record_.roles.empty());
  EXPECT_TRUE(record_.eventsCreated.empty());
  EXPECT_EQ(record_.passes, 0);
}

TEST_F(DispatchTest, SecondBackgroundInstanceEndsAtOnce) {
  eventExists_ = true;
  EXPECT_EQ(Run({"debug"}), kExitSuccess);
  EXPECT_EQ(Run({}), kExitSuccess);
  EXPECT_TRUE(record_.roles.empty());
  EXPECT_EQ(record_.eventsCreated.size(), 2u);
}

TEST_F(DispatchTest, OnceWaitsItsClampedDelayThenRunsOnePass) {
  struct Case {
    const char* delay;  // nullptr: no key
    uint32_t expectedMs;
  };
  const Case cases[] = {{nullptr, 4000},  {"0", 4000},       {"3", 4000},    {"5", 5000},
                        {"86400", 86400000}, {"86401", 10000}, {"-1", 10000}, {"junk", 4000}};
  for (const Case& c : cases) {
    if (c.delay != nullptr) WriteDelay(c.delay);
    record_ = Record();
    Run({"once"});
    ASSERT_EQ(record_.sleeps.size(), 1u) << (c.delay ? c.delay : "missing");
    EXPECT_EQ(record_.sleeps[0], c.expectedMs) << (c.delay ? c.delay : "missing");
    EXPECT_EQ(record_.passes, 1);
  }
}

TEST_F(DispatchTest, OnceExitStatusTellsWhetherTheClockWasSet) {
  EXPECT_EQ(Run({"once"}), kExitSuccess);
  passSucceeds_ = false;
  EXPECT_EQ(Run({"once"}), kExitNotSynchronized);
}

TEST_F(DispatchTest, RolesWithoutRoutinesEndAtOnce) {
  for (std::vector<const char*> args : {std::vector<const char*>{"options"}, {"installme"}, {"uninstallme"},
                                        {"debug"}, {}}) {
    args.insert(args.begin(), "orvanta.exe");
    TimeSyncApp app(Services(), RoleRoutines());
    app.InitInstance(static_cast<int>(args.size()), args.data());
    EXPECT_EQ(app.ExitCode(), kExitSuccess);
  }
  EXPECT_EQ(record_.passes, 0);
}

}  // namespace
}  // namespace orvanta
