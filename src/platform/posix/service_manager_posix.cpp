// The service manager under systemd: a service is a unit file in the folder
// of system units (ORVANTA_SYSTEMD_UNIT_DIR, else /etc/systemd/system), and
// every request to the manager is a run of systemctl, found on PATH.
//
//   create       write the unit (never over an existing one) as the settings
//                file is written, daemon-reload, enable
//   description  rewrite the unit's Description=, daemon-reload
//   open         the unit file exists
//   start        is-active (yes: 1056, already running), else start
//   stop         stop (it waits until the service has stopped)
//   delete       disable, remove the unit file, daemon-reload
//
// The manager is available to whoever may write the unit folder and run
// systemctl; for anybody else every operation fails, as the Windows manager
// refuses a user without administrator rights.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_primitives.h"
#include "platform/file_store.h"
#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"
#include "platform/posix/systemd_unit.h"
#include "platform/service_manager.h"

extern char** environ;

namespace orvanta {

namespace {


// A systemctl run that failed carries its exit status in the low byte of
// this code (customer bit set: no Windows code has this meaning).
constexpr uint32_t kSystemctlFailed = 0x20020000u;

enum class Kind { kManager, kService };

// What a handle stands for. Each one owns copies of what it needs, so a
// service handle stays usable whatever the order of the closes.
struct Handle {
  Kind kind;
  std::string unitDirectory;
  std::string systemctl;
  std::string unitName;  // "OrvantaService.service"; services only

  std::string UnitPath() const { return unitDirectory + "/" + unitName; }
};

Handle* As(ServiceHandle handle, Kind kind) {
  Handle* h = static_cast<Handle*>(handle);
  if (h == nullptr || h->kind != kind) {
    SetLastError(error::kInvalidParameter);
    return nullptr;
  }
  return h;
}

// A service name becomes a unit name: letters, digits and ":-_." only, so
// that no name reaches outside the unit folder or means something else to systemctl.
bool UnitNameFor(const char* name, std::string& unitName) {
  const std::string text = name == nullptr ? std::string() : std::string(name);
  if (text.empty() || text.size() > 200 || text[0] == '.' || text[0] == '-') {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  for (const char c : text) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                         c == ':' || c == '-' || c == '_' || c == '.';
    if (!allowed) {
      SetLastError(error::kInvalidParameter);
      return false;
    }
  }
  unitName = text + ".service";
  return true;
}

std::string UnitDirectory() {
  const char* configured = std::getenv(posix::kUnitDirectoryVariable);
  return configured != nullptr && configured[0] != '\0' ? std::string(configured)
                                                        : std::string(posix::kSystemUnitDirectory);
}

// The first executable "systemctl" in a folder named by PATH (empty and
// relative entries are skipped: they would depend on the current folder).
bool FindSystemctl(std::string& path) {
  const char* searched = std::getenv("PATH");
  const std::string folders = searched != nullptr ? searched : "/usr/bin:/bin";
  size_t begin = 0;
  while (begin <= folders.size()) {
    size_t end = folders.find(':', begin);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(begin, end - begin);
    begin = end + 1;
    if (folder.empty() || folder[0] != '/') continue;
    const std::string candidate = folder + "/systemctl";
    struct stat status {};
    if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      path = candidate;
      return true;
    }
  }
  SetLastError(error::kFileNotFound);
  return false;
}

// Owns the attributes of a spawn.
class SpawnAttributes {
 public:
  SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attributes_) == 0; }
  ~SpawnAttributes() {
    if (ok_) ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  bool Ok() const { return ok_; }
  posix_spawnattr_t* Get() { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
  bool ok_ = false;
};

// Runs "systemctl --quiet ARGS..." and waits for it. True when it exited 0;
// otherwise the last-error value holds kSystemctlFailed and its exit status
// (128 + the signal when a signal ended it), or the reason it could not run.
// It starts with no signal blocked and the default handling of every signal,
// whatever the service side of this process has blocked.
bool RunSystemctl(const Handle& handle, std::initializer_list<const char*> arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>("systemctl"));
  argv.push_back(const_cast<char*>("--quiet"));
  for (const char* argument : arguments) argv.push_back(const_cast<char*>(argument));
  argv.push_back(nullptr);

  SpawnAttributes attributes;
  if (!attributes.Ok()) {
    SetLastError(error::kNotEnoughMemory);
    return false;
  }
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  ::posix_spawnattr_setsigmask(attributes.Get(), &none);
  ::posix_spawnattr_setsigdefault(attributes.Get(), &all);
  ::posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t child = -1;
  const int spawned = ::posix_spawn(&child, handle.systemctl.c_str(), nullptr, attributes.Get(), argv.data(), environ);
  if (spawned != 0) {
    SetLastError(posix::TranslateErrno(spawned));
    return false;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      posix::SetLastErrorFromErrno();
      return false;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  SetLastError(kSystemctlFailed | static_cast<uint32_t>(code & 0xff));
  return false;
}

// The unit and the lock file its writes leave beside it.
void RemoveUnitFile(const Handle& service) {
  files::RemoveFile(service.UnitPath());
  files::RemoveFile(service.UnitPath() + ".lock");
}

class SystemdServiceManager final : public ServiceManager {
 public:
  ServiceHandle OpenManager() override {
    Handle manager{Kind::kManager, UnitDirectory(), std::string(), std::string()};
    struct stat status {};
    if (::stat(manager.unitDirectory.c_str(), &status) != 0) {
      posix::SetLastErrorFromErrno();
      return nullptr;
    }
    if (!S_ISDIR(status.st_mode)) {
      SetLastError(error::kPathNotFound);
      return nullptr;
    }
    if (::access(manager.unitDirectory.c_str(), W_OK | X_OK) != 0) {
      posix::SetLastErrorFromErrno();
      return nullptr;
    }
    if (!FindSystemctl(manager.systemctl)) return nullptr;
    return new Handle(std::move(manager));
  }

  ServiceHandle CreateEntry(ServiceHandle managerHandle, const ServiceRegistration& registration) override {
    const Handle* manager = As(managerHandle, Kind::kManager);
    if (manager == nullptr) return nullptr;
    Handle service{Kind::kService, manager->unitDirectory, manager->systemctl, std::string()};
    std::string unit;
    if (!UnitNameFor(registration.name, service.unitName) ||
        !posix::ServiceUnitFile(Unquoted(registration.binaryPath), Text(registration.displayName), unit)) {
      return nullptr;
    }
    // Never over an existing unit: a service of that name is registered already.
    const bool written = ReplaceWholeFile(service.UnitPath(), [&unit](bool exists, const std::string&, std::string& out) {
      if (exists) SetLastError(error::kServiceExists);
      out = unit;
      return !exists;
    });
    if (!written) return nullptr;
    if (!RunSystemctl(service, {"daemon-reload"}) || !RunSystemctl(service, {"enable", service.unitName.c_str()})) {
      // Not registered after all: take the unit away again.
      LastErrorKeeper keep;
      RemoveUnitFile(service);
      RunSystemctl(service, {"daemon-reload"});
      return nullptr;
    }
    return new Handle(std::move(service));
  }

  bool SetDescription(ServiceHandle serviceHandle, const char* description) override {
    const Handle* service = As(serviceHandle, Kind::kService);
    if (service == nullptr) return false;
    const std::string text = Text(description);
    const bool written = ReplaceWholeFile(service->UnitPath(), [&text](bool exists, const std::string& unit,
                                                                       std::string& out) {
      if (!exists) SetLastError(error::kServiceDoesNotExist);
      return exists && posix::WithDescription(unit, text, out);
    });
    return written && RunSystemctl(*service, {"daemon-reload"});
  }

  ServiceHandle OpenEntry(ServiceHandle managerHandle, const char* name) override {
    const Handle* manager = As(managerHandle, Kind::kManager);
    if (manager == nullptr) return nullptr;
    Handle service{Kind::kService, manager->unitDirectory, manager->systemctl, std::string()};
    if (!UnitNameFor(name, service.unitName)) return nullptr;
    struct stat status {};
    if (::lstat(service.UnitPath().c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
      SetLastError(error::kServiceDoesNotExist);
      return nullptr;
    }
    return new Handle(std::move(service));
  }

  bool StartEntry(ServiceHandle serviceHandle) override {
    const Handle* service = As(serviceHandle, Kind::kService);
    if (service == nullptr) return false;
    if (RunSystemctl(*service, {"is-active", service->unitName.c_str()})) {
      SetLastError(error::kServiceAlreadyRunning);
      return false;
    }
    return RunSystemctl(*service, {"start", service->unitName.c_str()});
  }

  bool StopEntry(ServiceHandle serviceHandle) override {
    const Handle* service = As(serviceHandle, Kind::kService);
    return service != nullptr && RunSystemctl(*service, {"stop", service->unitName.c_str()});
  }

  bool DeleteEntry(ServiceHandle serviceHandle) override {
    const Handle* service = As(serviceHandle, Kind::kService);
    if (service == nullptr || !RunSystemctl(*service, {"disable", service->unitName.c_str()})) return false;
    if (::unlink(service->UnitPath().c_str()) != 0) {
      SetLastError(errno == ENOENT ? error::kServiceDoesNotExist : posix::TranslateErrno(errno));
      return false;
    }
    files::RemoveFile(service->UnitPath() + ".lock");
    RunSystemctl(*service, {"daemon-reload"});  // the unit is gone from the disk either way
    return true;
  }

  void Close(ServiceHandle handle) override { delete static_cast<Handle*>(handle); }

 private:
  static std::string Text(const char* text) { return text == nullptr ? std::string() : std::string(text); }

  // The installer quotes a path that holds blanks; the unit wants the path itself.
  static std::string Unquoted(const char* binaryPath) {
    std::string path = Text(binaryPath);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    return path;
  }
};

}  // namespace

ServiceManager& SystemServiceManager() {
  static SystemdServiceManager manager;
  return manager;
}

}  // namespace orvanta
