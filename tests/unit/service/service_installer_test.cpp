// Installation and removal against a fake service manager that keeps one
// service entry, records every call in order, counts the handles it hands out
// and takes back, and can refuse each call the way the platform does.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "service/service_installer.h"
#include "service/service_names.h"

namespace orvanta {
namespace {

using Calls = std::vector<std::string>;

// The platform's codes for the refusals the fake plays.
constexpr uint32_t kServiceExists = 1073;
constexpr uint32_t kServiceDoesNotExist = 1060;
constexpr uint32_t kServiceDisabled = 1058;
constexpr uint32_t kServiceNotActive = 1062;
// Closing a handle may leave anything in the last-error value.
constexpr uint32_t kScribbled = 6;

const std::string kPath = "C:\\Orvanta\\orvanta.exe";
const std::string kBlankPath = "C:\\Program Files\\Orvanta\\orvanta.exe";

class FakeServiceManager : public ServiceManager {
 public:
  ServiceHandle OpenManager() override {
    calls.push_back("OpenManager");
    if (refuseManager) return Refuse(error::kAccessDenied);
    return Hand(managers_);
  }
  ServiceHandle CreateEntry(ServiceHandle manager, const ServiceRegistration& r) override {
    calls.push_back("CreateEntry");
    Check(managers_, manager);
    if (refuseCreate) return Refuse(error::kAccessDenied);
    if (registered) return Refuse(kServiceExists);
    registered = true;
    name = r.name;
    displayName = r.displayName;
    binaryPath = r.binaryPath;
    description.clear();
    return Hand(services_);
  }
  bool SetDescription(ServiceHandle service, const char* text) override {
    calls.push_back("SetDescription");
    Check(services_, service);
    if (refuseDescription) return false;
    description = text;
    return true;
  }
  ServiceHandle OpenEntry(ServiceHandle manager, const char* entry) override {
    calls.push_back("OpenEntry");
    Check(managers_, manager);
    if (!registered || name != entry) return Refuse(kServiceDoesNotExist);
    return Hand(services_);
  }
  bool StartEntry(ServiceHandle service) override {
    calls.push_back("StartEntry");
    Check(services_, service);
    if (running) return Refused(kErrorServiceAlreadyRunning);
    if (refuseStart) return Refused(kServiceDisabled);
    running = true;
    return true;
  }
  bool StopEntry(ServiceHandle service) override {
    calls.push_back("StopEntry");
    Check(services_, service);
    if (!running) return Refused(kServiceNotActive);
    running = false;
    return true;
  }
  bool DeleteEntry(ServiceHandle service) override {
    calls.push_back("DeleteEntry");
    Check(services_, service);
    if (refuseDelete) return Refused(error::kAccessDenied);
    registered = false;
    return true;
  }
  void Close(ServiceHandle handle) override {
    if (managers_.erase(handle) == 1) {
      calls.push_back("CloseManager");
    } else if (services_.erase(handle) == 1) {
      calls.push_back("CloseService");
    } else {
      calls.push_back("Close of a handle not open");
    }
    ++closed;
    SetLastError(kScribbled);
  }
  void Sleep(uint32_t milliseconds) override { calls.push_back("Sleep " + std::to_string(milliseconds)); }

  // An entry as an earlier installation left it.
  void Register(bool isRunning, const std::string& path = kPath) {
    registered = true;
    running = isRunning;
    name = displayName = kServiceName;
    binaryPath = path;
    description = kServiceDescription;
  }
  size_t OpenHandles() const { return managers_.size() + services_.size(); }

  // The entry the manager holds.
  bool registered = false;
  bool running = false;
  std::string name, displayName, binaryPath, description;
  // Refusals: no administrator rights, creation, description, start, deletion.
  bool refuseManager = false;
  bool refuseCreate = false;
  bool refuseDescription = false;
  bool refuseStart = false;
  bool refuseDelete = false;
  // What happened.
  Calls calls;
  int opened = 0;
  int closed = 0;
  bool misuse = false;  // a call on a handle that was not open, or of the wrong kind

 private:
  ServiceHandle Hand(std::set<ServiceHandle>& kind) {
    ServiceHandle handle = reinterpret_cast<ServiceHandle>(static_cast<uintptr_t>(++opened));
    kind.insert(handle);
    return handle;
  }
  void Check(const std::set<ServiceHandle>& kind, ServiceHandle handle) {
    if (kind.count(handle) == 0) misuse = true;
  }
  static ServiceHandle Refuse(uint32_t code) {
    SetLastError(code);
    return nullptr;
  }
  static bool Refused(uint32_t code) {
    SetLastError(code);
    return false;
  }

  std::set<ServiceHandle> managers_;
  std::set<ServiceHandle> services_;
};

const Calls kCreate = {"OpenManager", "CreateEntry", "SetDescription", "CloseService", "CloseManager"};
const Calls kCreateRefused = {"OpenManager", "CreateEntry", "CloseManager"};
const Calls kStart = {"OpenManager", "OpenEntry", "StartEntry", "CloseService", "CloseManager"};
const Calls kStop = {"OpenManager", "OpenEntry", "StopEntry", "CloseService", "CloseManager"};
const Calls kUninstall = {"OpenManager", "OpenEntry",   "StopEntry",    "CloseService",
                          "OpenEntry",   "DeleteEntry", "CloseService", "CloseManager"};
const Calls kAbsent = {"OpenManager", "OpenEntry", "CloseManager"};
const Calls kUninstallAbsent = {"OpenManager", "OpenEntry", "OpenEntry", "CloseManager"};

Calls Then(Calls first, const Calls& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}
const Calls kRemove = Then(Then(kStop, {"Sleep 800"}), kUninstall);

class ServiceInstallerTest : public testing::Test {
 protected:
  void ExpectEverythingClosed() {
    EXPECT_EQ(manager_.OpenHandles(), 0u);
    EXPECT_EQ(manager_.closed, manager_.opened);
    EXPECT_FALSE(manager_.misuse);
  }

  FakeServiceManager manager_;
};

TEST_F(ServiceInstallerTest, FirstInstallCreatesTheEntryAndStartsIt) {
  EXPECT_TRUE(InstallService(manager_, kPath));
  EXPECT_EQ(manager_.calls, Then(kCreate, kStart));
  EXPECT_EQ(manager_.name, "OrvantaService");
  EXPECT_EQ(manager_.displayName, "OrvantaService");
  EXPECT_EQ(manager_.binaryPath, kPath);
  EXPECT_EQ(manager_.description, "Internet time synchronizing utility");
  EXPECT_TRUE(manager_.running);
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, PathWithBlanksIsRegisteredInQuotes) {
  EXPECT_TRUE(InstallService(manager_, kBlankPath));
  EXPECT_EQ(manager_.binaryPath, "\"" + kBlankPath + "\"");
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, PathThatIsEmptyOrTooLongRegistersNothing) {
  // 259 characters and the terminator fill the platform's path limit exactly;
  // the quotes the blank asks for do not count against the executable's path.
  const std::string longest = "C:\\Program Files\\" + std::string(259 - 21, 'x') + ".exe";
  ASSERT_EQ(longest.size(), 259u);
  EXPECT_TRUE(InstallService(manager_, longest));
  EXPECT_EQ(manager_.binaryPath, "\"" + longest + "\"");

  for (const std::string& path : {std::string(), longest + "e"}) {
    FakeServiceManager refused;
    SetLastError(0);
    EXPECT_FALSE(InstallService(refused, path)) << path.size();
    EXPECT_EQ(LastError(), error::kInvalidParameter);
    EXPECT_TRUE(refused.calls.empty()) << "no manager is opened";
    EXPECT_FALSE(refused.registered);
  }
}

TEST_F(ServiceInstallerTest, SecondInstallWhileRunningCountsAsInstalled) {
  manager_.Register(true);
  EXPECT_TRUE(InstallService(manager_, kPath));
  // Creation fails (the entry exists), the start answers "already running".
  EXPECT_EQ(manager_.calls, Then(kCreateRefused, kStart));
  EXPECT_TRUE(manager_.running);
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, StoppedEntryWithAnotherPathIsStartedUnchanged) {
  manager_.Register(false, "D:\\elsewhere\\orvanta.exe");
  EXPECT_TRUE(InstallService(manager_, kPath));
  EXPECT_EQ(manager_.calls, Then(kCreateRefused, kStart));
  EXPECT_EQ(manager_.binaryPath, "D:\\elsewhere\\orvanta.exe");
  EXPECT_TRUE(manager_.running);
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, InstallFailsWhenTheStartFails) {
  // Without administrator rights nothing is registered and nothing started.
  manager_.refuseManager = true;
  EXPECT_FALSE(InstallService(manager_, kPath));
  EXPECT_EQ(manager_.calls, Calls({"OpenManager", "OpenManager"}));
  EXPECT_FALSE(manager_.registered);

  // A start refused for another reason than "already running".
  FakeServiceManager disabled;
  disabled.refuseStart = true;
  EXPECT_FALSE(InstallService(disabled, kPath));
  EXPECT_TRUE(disabled.registered);
  EXPECT_FALSE(disabled.running);

  // Creation refused and no entry to start.
  FakeServiceManager denied;
  denied.refuseCreate = true;
  EXPECT_FALSE(InstallService(denied, kPath));
  EXPECT_EQ(denied.calls, Then(kCreateRefused, kAbsent));
}

TEST_F(ServiceInstallerTest, RefusedDescriptionStillCountsAsCreated) {
  manager_.refuseDescription = true;
  EXPECT_TRUE(InstallServiceByName(manager_, kServiceName, kPath.c_str(), kServiceDescription));
  EXPECT_TRUE(manager_.registered);
  EXPECT_EQ(manager_.description, "");
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, RemovingARunningServiceStopsWaitsAndDeletes) {
  manager_.Register(true);
  EXPECT_TRUE(RemoveService(manager_));
  EXPECT_EQ(manager_.calls, kRemove);
  EXPECT_FALSE(manager_.registered);
  EXPECT_FALSE(manager_.running);
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, RemovingAStoppedServiceDeletesItAnyway) {
  manager_.Register(false);
  EXPECT_TRUE(RemoveService(manager_));
  EXPECT_EQ(manager_.calls, kRemove);  // both stop requests refused, quietly
  EXPECT_FALSE(manager_.registered);
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, RemovingWithNothingToDeleteAnswersFalse) {
  EXPECT_FALSE(RemoveService(manager_));
  EXPECT_EQ(manager_.calls, Then(Then(kAbsent, {"Sleep 800"}), kUninstallAbsent));

  FakeServiceManager denied;
  denied.Register(false);
  denied.refuseDelete = true;
  EXPECT_FALSE(RemoveService(denied));
  EXPECT_TRUE(denied.registered);

  // Without administrator rights: the pause all the same, and nothing else.
  FakeServiceManager refused;
  refused.refuseManager = true;
  EXPECT_FALSE(RemoveService(refused));
  EXPECT_EQ(refused.calls, Calls({"OpenManager", "Sleep 800", "OpenManager"}));
}

TEST_F(ServiceInstallerTest, NameLayerAnswers) {
  manager_.Register(false);
  EXPECT_FALSE(StopServiceByName(manager_, kServiceName)) << "a stopped service takes no stop request";
  EXPECT_TRUE(StartServiceByName(manager_, kServiceName));
  EXPECT_TRUE(StartServiceByName(manager_, kServiceName)) << "already running counts as started";
  EXPECT_TRUE(StopServiceByName(manager_, kServiceName));
  EXPECT_FALSE(StopServiceByName(manager_, "OtherService"));
  EXPECT_FALSE(StartServiceByName(manager_, "OtherService"));
  EXPECT_FALSE(UninstallServiceByName(manager_, "OtherService"));
  EXPECT_TRUE(manager_.registered);
  ExpectEverythingClosed();
}

TEST_F(ServiceInstallerTest, EveryHandleIsClosedOnEveryPath) {
  struct Arrangement {
    const char* name;
    std::function<void(FakeServiceManager&)> arrange;
  };
  const Arrangement arrangements[] = {
      {"nothing registered", [](FakeServiceManager&) {}},
      {"registered, stopped", [](FakeServiceManager& m) { m.Register(false); }},
      {"registered, running", [](FakeServiceManager& m) { m.Register(true); }},
      {"no manager", [](FakeServiceManager& m) { m.refuseManager = true; }},
      {"creation refused", [](FakeServiceManager& m) { m.refuseCreate = true; }},
      {"description refused", [](FakeServiceManager& m) { m.refuseDescription = true; }},
      {"start refused", [](FakeServiceManager& m) { m.refuseStart = true; }},
      {"deletion refused",
       [](FakeServiceManager& m) {
         m.Register(true);
         m.refuseDelete = true;
       }},
  };
  const std::function<bool(FakeServiceManager&)> operations[] = {
      [](FakeServiceManager& m) { return InstallService(m, kBlankPath); },
      [](FakeServiceManager& m) { return RemoveService(m); },
      [](FakeServiceManager& m) { return StopServiceByName(m, kServiceName); },
  };
  for (const Arrangement& a : arrangements) {
    for (size_t op = 0; op < 3; ++op) {
      SCOPED_TRACE(std::string(a.name) + ", operation " + std::to_string(op));
      FakeServiceManager m;
      a.arrange(m);
      operations[op](m);
      EXPECT_EQ(m.OpenHandles(), 0u);
      EXPECT_EQ(m.closed, m.opened);
      EXPECT_FALSE(m.misuse);
    }
  }
}

}  // namespace
}  // namespace orvanta
