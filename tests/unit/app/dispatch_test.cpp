// Start-up's dispatch of the command line, driven with recording stand-ins
// for the operating system and for the roles' routines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/time_sync_app.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using Log = std::vector<std::string>;
using Print = std::function<void(const std::string&)>;
const std::string kEvent = "event Global\\OrvantaServiceEvent";

struct FixedEvent : NamedEvent {
  explicit FixedEvent(bool held) : existed(held) {}
  bool AlreadyExisted() const override { return existed; }
  bool Signal() override { return true; }
  WaitResult Wait(uint32_t) override { return WaitResult::kSignalled; }
  const bool existed;
};

// A program folder of its own, and stand-ins that note what start-up asks of them.
struct Stage : Sleeper {
  void Sleep(uint32_t ms) override { Note("sleep " + std::to_string(ms)); }
  bool Note(const std::string& what) { log.push_back(what); return true; }

  // Runs start-up with these arguments; what it did, then its exit status.
  Log Run(std::vector<const char*> args) {
    log.clear();
    StartupServices s;
    s.executablePath = dir.File("orvanta.exe");
    s.sleeper = this;
    s.launchInstaller = [this](const std::string& line) { return Note("launch " + line); };
    s.createNamedEvent = [this](const char* name) {
      Note(std::string("event ") + name);
      return std::make_unique<FixedEvent>(eventExists);
    };
    s.synchronize = [this](const SettingsFile&, PassReport&) { return Note("pass") && passSucceeds; };
    s.openLog = [this](bool toTerminal) { Note(toTerminal ? "log to terminal" : "log"); return nullptr; };
    s.queryServers = [this](const SettingsFile&, const std::vector<std::string>& hosts, const Print& print) {
      for (const std::string& host : hosts) print("asked " + host);
      return answers;
    };
    s.writeConsole = [this](const std::string& line, bool error) { Note((error ? "stderr " : "stdout ") + line); };
    s.mayWriteSettings = [this](const std::string&) { return writable; };
    s.relaunchElevated = [this](const std::string& arguments) { return Note("elevated " + arguments) && elevates; };
    RoleRoutines r;
    r.options = [this](TimeSyncApp& app) { return Note("options " + app.Title()) ? 3 : 0; };
    r.installService = [this](TimeSyncApp&) { return Note("install"); };
    r.removeService = [this](TimeSyncApp&) { return !Note("remove"); };
    r.runWorker = [this](TimeSyncApp&, std::shared_ptr<NamedEvent>) { Note("worker"); };
    r.runServiceDispatcher = [this](TimeSyncApp&, std::shared_ptr<NamedEvent>) { Note("service"); };
    args.insert(args.begin(), "orvanta.exe");
    TimeSyncApp app(s, r);
    EXPECT_FALSE(app.InitInstance(static_cast<int>(args.size()), args.data()));
    Note("exit " + std::to_string(app.ExitCode()));
    return log;
  }

  test::TempDir dir;
  SettingsFile settings{dir.File("orvanta.ini")};
  Log log;
  bool eventExists = false, passSucceeds = true, writable = true, elevates = true;
  int answers = 1;
};

TEST(DispatchTest, EachWordReachesItsRoleWhateverItsCaseAndTheOutcomeIsTheStatus) {
  const struct { std::vector<const char*> args; Log log; } cases[] = {
      {{"OpTiOnS"}, {"options Orvanta", "exit 3"}},
      {{"ONCE"}, {"log", "sleep 4000", "pass", "exit 0"}},
      {{"InstallMe"}, {"install", "exit 0"}},  // beside a running service: no guard
      {{"UNINSTALLME"}, {"remove", "exit 1"}},
      {{"Debug"}, {kEvent, "log to terminal", "worker", "exit 0"}},
      {{}, {kEvent, "log", "service", "exit 0"}},
      {{"/I"}, {kEvent, "log", "service", "exit 0"}},  // alone it is just another word, as any unknown one
      // The option as typed, the package unquoted, further words ignored.
      {{"/i", "C:\\Setup Files\\orvanta.msi", "x"}, {"launch MsiExec.exe /i C:\\Setup Files\\orvanta.msi", "exit 0"}},
      // "query" asks the hosts given and sets nothing; an option is a usage error.
      {{"Query", "a.example", "127.0.0.1"}, {"stdout asked a.example", "stdout asked 127.0.0.1", "exit 0"}},
      {{"query", "a.example", "-v"}, {"stderr usage: orvanta query [HOST...]", "exit 2"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Stage().Run(c.args), c.log) << (c.args.empty() ? "" : c.args[0]);

  // A second background instance ends at once. "once" waits its delay,
  // clamped, and says whether it set the clock. "query" without hosts asks
  // the stored servers (the default one when there are none: the readers'
  // test), and fails when none answers.
  Stage stage;
  stage.eventExists = true;
  EXPECT_EQ(stage.Run({"debug"}), (Log{kEvent, "exit 0"}));
  ASSERT_TRUE(stage.settings.WriteString("OPTIONS", "delay", "86401"));
  stage.passSucceeds = false;
  EXPECT_EQ(stage.Run({"once"}), (Log{"log", "sleep 10000", "pass", "exit 1"}));
  stage.answers = 0;
  ASSERT_TRUE(stage.settings.WriteString("SERVERS", "server_1", "stored.example"));
  EXPECT_EQ(stage.Run({"query"}), (Log{"stdout asked stored.example", "exit 1"}));
  // A window that could not save comes again with administrator rights, or,
  // when those are refused, opens all the same.
  stage.writable = false;
  EXPECT_EQ(stage.Run({"options"}), (Log{"elevated options", "exit 0"}));
  stage.elevates = false;
  EXPECT_EQ(stage.Run({"options"}), (Log{"elevated options", "options Orvanta", "exit 3"}));
}

}  // namespace
}  // namespace orvanta
