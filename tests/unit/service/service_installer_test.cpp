// Installation and removal against a service manager that keeps one entry,
// logs every call (and the sleeper's pauses) in order, refuses a call when
// told to, and fails the test when a handle is left open, closed twice, used
// after its close or used as the wrong kind.
#include "service/service_installer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/last_error.h"
#include "service/service_names.h"
#include "support/recording_sleeper.h"

namespace orvanta {
namespace {

using Calls = std::vector<std::string>;

constexpr uint32_t kScribbled = 6;  // what a close may leave in the last-error value

const std::string kPath = "C:\\Orvanta\\orvanta.exe";

struct FakeServiceManager : ServiceManager {
  // registered: an entry left by an earlier installation.
  FakeServiceManager(bool isRegistered, bool isRunning, std::string refused)
      : registered(isRegistered), running(isRunning), refuse(std::move(refused)) {}
  ~FakeServiceManager() override {
    EXPECT_TRUE(open.empty()) << open.size() << " handles left open";
    EXPECT_FALSE(misuse) << "a call on a handle not open, or of the wrong kind";
  }
  ServiceHandle OpenManager() override { return Call("OpenManager", nullptr, true, 0) ? Hand(true) : nullptr; }
  ServiceHandle CreateEntry(ServiceHandle manager, const ServiceRegistration& r) override {
    if (!Call("CreateEntry", manager, true, registered ? error::kServiceExists : 0)) return nullptr;
    registered = true;
    entry = {r.name, r.displayName, r.binaryPath};
    return Hand(false);
  }
  bool SetDescription(ServiceHandle service, const char* text) override {
    if (!Call("SetDescription", service, false, 0)) return false;
    entry.push_back(text);
    return true;
  }
  ServiceHandle OpenEntry(ServiceHandle manager, const char* name) override {
    const bool found = registered && name == std::string(kServiceName);
    return Call("OpenEntry", manager, true, found ? 0 : error::kServiceDoesNotExist) ? Hand(false) : nullptr;
  }
  bool StartEntry(ServiceHandle service) override {
    if (!Call("StartEntry", service, false, running ? kErrorServiceAlreadyRunning : 0)) return false;
    running = true;
    return true;
  }
  bool StopEntry(ServiceHandle service) override {
    if (!Call("StopEntry", service, false, running ? 0 : 1062)) return false;  // 1062: not running
    running = false;
    return true;
  }
  bool DeleteEntry(ServiceHandle service) override {
    if (!Call("DeleteEntry", service, false, 0)) return false;
    registered = false;
    return true;
  }
  void Close(ServiceHandle handle) override {
    const auto found = open.find(handle);
    calls.push_back(found == open.end() ? "Close of a handle not open"
                                        : found->second ? "CloseManager" : "CloseService");
    if (found != open.end()) open.erase(found);
    SetLastError(kScribbled);
  }

  // Logs the call and checks its handle; false, with the reason as the
  // last-error value, when refused for want of rights or failing with code.
  bool Call(const std::string& call, ServiceHandle handle, bool isManager, uint32_t code) {
    calls.push_back(call);
    const auto found = open.find(handle);
    if (call != "OpenManager" && (found == open.end() || found->second != isManager)) misuse = true;
    if (refuse == call) code = error::kAccessDenied;
    if (code != 0) SetLastError(code);
    return code == 0;
  }
  ServiceHandle Hand(bool isManager) {
    const ServiceHandle handle = reinterpret_cast<ServiceHandle>(++handed);
    open[handle] = isManager;
    return handle;
  }

  bool registered, running;
  std::string refuse;  // the call to refuse
  Calls calls;
  Calls entry;  // as the last creation registered it: name, display name, path, description
  std::map<ServiceHandle, bool> open;  // handle: is a manager handle
  uintptr_t handed = 0;
  bool misuse = false;
};

Calls Then(Calls first, const Calls& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}
const Calls kCreate = {"OpenManager", "CreateEntry", "SetDescription", "CloseService", "CloseManager"};
const Calls kCreateRefused = {"OpenManager", "CreateEntry", "CloseManager"};
const Calls kStart = {"OpenManager", "OpenEntry", "StartEntry", "CloseService", "CloseManager"};
const Calls kAbsent = {"OpenManager", "OpenEntry", "CloseManager"};
const Calls kRemove = {"OpenManager", "OpenEntry", "StopEntry", "CloseService", "CloseManager", "sleep 800",
                       "OpenManager", "OpenEntry", "StopEntry", "CloseService",
                       "OpenEntry",   "DeleteEntry", "CloseService", "CloseManager"};

TEST(ServiceInstallerTest, InstallAndRemoveAnswerCallAndCloseEverything) {
  const Calls removeAbsent = Then(kAbsent, {"sleep 800", "OpenManager", "OpenEntry", "OpenEntry", "CloseManager"});
  const struct {
    const char* name;
    bool remove, registered, running;
    const char* refuse;
    bool answer;
    Calls calls;
    uint32_t error;  // when the answer is false
  } cases[] = {
      {"first install", false, false, false, "", true, Then(kCreate, kStart), 0},
      {"install, running already", false, true, true, "", true, Then(kCreateRefused, kStart), 0},
      {"install, stopped: started as it is", false, true, false, "", true, Then(kCreateRefused, kStart), 0},
      {"install, no description", false, false, false, "SetDescription", true, Then(kCreate, kStart), 0},
      {"install, no rights", false, false, false, "OpenManager", false, {"OpenManager", "OpenManager"},
       error::kAccessDenied},
      {"install, start refused", false, false, false, "StartEntry", false, Then(kCreate, kStart),
       error::kAccessDenied},
      {"install, creation refused", false, false, false, "CreateEntry", false, Then(kCreateRefused, kAbsent),
       error::kServiceDoesNotExist},
      {"remove, running", true, true, true, "", true, kRemove, 0},
      {"remove, stopped: both stop requests refused, quietly", true, true, false, "", true, kRemove, 0},
      {"remove, nothing registered", true, false, false, "", false, removeAbsent, error::kServiceDoesNotExist},
      {"remove, deletion refused", true, true, false, "DeleteEntry", false, kRemove, error::kAccessDenied},
      {"remove, no rights", true, false, false, "OpenManager", false, {"OpenManager", "sleep 800", "OpenManager"},
       error::kAccessDenied},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeServiceManager m(c.registered, c.running, c.refuse);
    test::RecordingSleeper sleeper(m.calls);
    EXPECT_EQ(c.remove ? RemoveService(m, sleeper) : InstallService(m, kPath), c.answer);
    EXPECT_EQ(c.answer ? 0 : LastError(), c.error);
    EXPECT_EQ(m.calls, c.calls);
  }
  FakeServiceManager m(false, false, "");
  ASSERT_TRUE(InstallService(m, kPath));
  EXPECT_EQ(m.entry, Calls({"OrvantaService", "OrvantaService", kPath, "Internet time synchronizing utility"}));
}

TEST(ServiceInstallerTest, PathWithBlanksIsQuotedAndAPathEmptyOrTooLongRegistersNothing) {
  // 259 characters and the terminator fill the path limit; the quotes do not count.
  const std::string longest = "C:\\Program Files\\" + std::string(259 - 21, 'x') + ".exe";
  FakeServiceManager fits(false, false, "");
  EXPECT_TRUE(InstallService(fits, longest));
  EXPECT_EQ(fits.entry.at(2), "\"" + longest + "\"");
  for (const std::string& path : {std::string(), longest + "e"}) {
    FakeServiceManager m(false, false, "");
    EXPECT_FALSE(InstallService(m, path)) << path.size();
    EXPECT_EQ(LastError(), error::kInvalidParameter);
    EXPECT_TRUE(m.calls.empty()) << "no manager is opened";
  }
}

}  // namespace
}  // namespace orvanta
