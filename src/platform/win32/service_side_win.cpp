#include <windows.h>

#include <utility>

#include "platform/service_side.h"

namespace orvanta {

namespace {

// The dispatcher calls the service main routine and the handler without any
// context, so the one service of the process keeps its routines here, for
// the life of the dispatcher call.
struct DispatchedService {
  std::function<void()> serviceMain;
  std::function<void(uint32_t)> onControl;
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
};

DispatchedService* g_service = nullptr;

void WINAPI ServiceMainEntry(DWORD, LPSTR*) {
  if (g_service != nullptr) g_service->serviceMain();
}

void WINAPI ControlHandlerEntry(DWORD control) {
  if (g_service != nullptr) g_service->onControl(control);
}

}  // namespace

bool RunServiceDispatcher(const char* serviceName, std::function<void()> serviceMain,
                          std::function<void(uint32_t control)> onControl) {
  DispatchedService service{std::move(serviceMain), std::move(onControl), nullptr};
  g_service = &service;
  SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(serviceName), ServiceMainEntry}, {nullptr, nullptr}};
  const bool dispatched = StartServiceCtrlDispatcherA(table) != FALSE;
  g_service = nullptr;
  return dispatched;
}

bool RegisterServiceControlHandler(const char* serviceName) {
  if (g_service == nullptr) return false;
  g_service->statusHandle = RegisterServiceCtrlHandlerA(serviceName, ControlHandlerEntry);
  return g_service->statusHandle != nullptr;
}

bool SendServiceStatusText(const std::string&) { return true; }  // the Windows manager shows states only

bool SendServiceStatus(const ServiceStatus& status) {
  if (g_service == nullptr || g_service->statusHandle == nullptr) return false;
  SERVICE_STATUS record;
  record.dwServiceType = status.serviceType;
  record.dwCurrentState = status.currentState;
  record.dwControlsAccepted = status.controlsAccepted;
  record.dwWin32ExitCode = status.win32ExitCode;
  record.dwServiceSpecificExitCode = status.serviceSpecificExitCode;
  record.dwCheckPoint = status.checkPoint;
  record.dwWaitHint = status.waitHint;
  return SetServiceStatus(g_service->statusHandle, &record) != FALSE;
}

}  // namespace orvanta
