#include "service/service_installer.h"

#include "platform/last_error.h"
#include "service/service_names.h"

namespace orvanta {

namespace {

// Owns one manager or service handle.
class ScopedServiceHandle {
 public:
  ScopedServiceHandle(ServiceManager& manager, ServiceHandle handle) : manager_(manager), handle_(handle) {}
  ~ScopedServiceHandle() {
    if (handle_ != nullptr) {
      LastErrorKeeper keep;
      manager_.Close(handle_);
    }
  }
  ScopedServiceHandle(const ScopedServiceHandle&) = delete;
  ScopedServiceHandle& operator=(const ScopedServiceHandle&) = delete;
  explicit operator bool() const { return handle_ != nullptr; }
  ServiceHandle Get() const { return handle_; }

 private:
  ServiceManager& manager_;
  ServiceHandle handle_;
};

bool CreateServiceEntry(ServiceManager& api, ServiceHandle manager, const char* name, const char* binaryPath,
                        const char* description) {
  const ServiceRegistration registration{name, name, binaryPath};
  ScopedServiceHandle service(api, api.CreateEntry(manager, registration));
  if (!service) return false;
  api.SetDescription(service.Get(), description);  // without a description it is still created
  return true;
}

bool StartServiceOnManager(ServiceManager& api, ServiceHandle manager, const char* name) {
  ScopedServiceHandle service(api, api.OpenEntry(manager, name));
  if (!service) return false;
  if (api.StartEntry(service.Get())) return true;
  return LastError() == kErrorServiceAlreadyRunning;
}

}  // namespace

std::string ServiceBinaryPath(const std::string& executablePath) {
  if (executablePath.find(' ') == std::string::npos) return executablePath;
  return "\"" + executablePath + "\"";
}

bool InstallServiceByName(ServiceManager& api, const char* name, const char* binaryPath, const char* description) {
  ScopedServiceHandle manager(api, api.OpenManager());
  if (!manager) return false;
  return CreateServiceEntry(api, manager.Get(), name, binaryPath, description);
}

bool StartServiceByName(ServiceManager& api, const char* name) {
  ScopedServiceHandle manager(api, api.OpenManager());
  if (!manager) return false;
  return StartServiceOnManager(api, manager.Get(), name);
}

bool StopServiceByName(ServiceManager& api, const char* name) {
  ScopedServiceHandle manager(api, api.OpenManager());
  if (!manager) return false;
  ScopedServiceHandle service(api, api.OpenEntry(manager.Get(), name));
  if (!service) return false;
  return api.StopEntry(service.Get());
}

bool UninstallServiceByName(ServiceManager& api, const char* name) {
  ScopedServiceHandle manager(api, api.OpenManager());
  if (!manager) return false;
  {
    ScopedServiceHandle running(api, api.OpenEntry(manager.Get(), name));
    if (running) api.StopEntry(running.Get());  // refused when already stopped: fine
  }
  ScopedServiceHandle service(api, api.OpenEntry(manager.Get(), name));
  if (!service) return false;
  return api.DeleteEntry(service.Get());
}

bool InstallService(ServiceManager& api, const std::string& executablePath) {
  // The limit is the executable's own; the quotes around it may go beyond.
  if (executablePath.empty() || executablePath.size() + 1 > kMaxServicePath) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  const std::string binaryPath = ServiceBinaryPath(executablePath);
  InstallServiceByName(api, kServiceName, binaryPath.c_str(), kServiceDescription);  // may exist already
  return StartServiceByName(api, kServiceName);
}

bool RemoveService(ServiceManager& api, Sleeper& sleeper) {
  StopServiceByName(api, kServiceName);
  sleeper.Sleep(kRemovalPauseMs);
  return UninstallServiceByName(api, kServiceName);
}

}  // namespace orvanta
