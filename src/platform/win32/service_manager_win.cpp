#include <windows.h>

#include "platform/service_manager.h"

namespace orvanta {

namespace {

SC_HANDLE Sc(ServiceHandle handle) { return static_cast<SC_HANDLE>(handle); }

class WindowsServiceManager final : public ServiceManager {
 public:
  ServiceHandle OpenManager() override { return OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }

  ServiceHandle CreateEntry(ServiceHandle manager, const ServiceRegistration& r) override {
    // An entry of the name that was just deleted stays until its process has
    // ended (an upgrade removes the old service, then installs the new one):
    // that is worth a wait of up to 30 s before the name counts as taken.
    for (int attempt = 0;; ++attempt) {
      const SC_HANDLE service =
          CreateServiceA(Sc(manager), r.name, r.displayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                         SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, r.binaryPath, nullptr, nullptr, nullptr, nullptr,
                         nullptr);
      if (service != nullptr || GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE || attempt == 120) return service;
      ::Sleep(250);
    }
  }

  bool SetDescription(ServiceHandle service, const char* description) override {
    SERVICE_DESCRIPTIONA text;
    text.lpDescription = const_cast<char*>(description);
    return ChangeServiceConfig2A(Sc(service), SERVICE_CONFIG_DESCRIPTION, &text) != FALSE;
  }

  ServiceHandle OpenEntry(ServiceHandle manager, const char* name) override {
    return OpenServiceA(Sc(manager), name, SERVICE_ALL_ACCESS);
  }

  bool StartEntry(ServiceHandle service) override { return StartServiceA(Sc(service), 0, nullptr) != FALSE; }

  bool StopEntry(ServiceHandle service) override {
    SERVICE_STATUS status;
    return ControlService(Sc(service), SERVICE_CONTROL_STOP, &status) != FALSE;
  }

  bool DeleteEntry(ServiceHandle service) override { return ::DeleteService(Sc(service)) != FALSE; }

  void Close(ServiceHandle handle) override { CloseServiceHandle(Sc(handle)); }

};

}  // namespace

ServiceManager& SystemServiceManager() {
  static WindowsServiceManager manager;
  return manager;
}

}  // namespace orvanta
