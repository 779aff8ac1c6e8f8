// What installation and removal need of the platform's service manager: the
// client calls of the Windows Service Control Manager, or their systemd
// counterparts. Handles are opaque; every one opened is closed by the caller.
#pragma once

#include <cstdint>

namespace orvanta {

using ServiceHandle = void*;

struct ServiceRegistration {
  const char* name;
  const char* displayName;
  const char* binaryPath;  // quoted when it holds blanks; no arguments
};

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  // The local machine's manager with all access; null when refused.
  virtual ServiceHandle OpenManager() = 0;
  // Own process, automatic start, normal error control, LocalSystem; null when refused.
  virtual ServiceHandle CreateEntry(ServiceHandle manager, const ServiceRegistration& registration) = 0;
  virtual bool SetDescription(ServiceHandle service, const char* description) = 0;
  virtual ServiceHandle OpenEntry(ServiceHandle manager, const char* name) = 0;
  // On failure the last-error value tells why (1056: already running).
  virtual bool StartEntry(ServiceHandle service) = 0;
  virtual bool StopEntry(ServiceHandle service) = 0;
  virtual bool DeleteEntry(ServiceHandle service) = 0;
  virtual void Close(ServiceHandle handle) = 0;
};

// The platform's own manager (Windows: the Service Control Manager).
ServiceManager& SystemServiceManager();

}  // namespace orvanta
