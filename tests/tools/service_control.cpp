// Asks the Service Control Manager about one service and sends it controls,
// as the end-to-end scripts need (Wine's sc.exe starts and stops, but can
// neither read the registration nor pause, continue or interrogate). One
// line "key=value" per fact:
//   service_control query NAME     state, exit code, controls, registration;
//                                  "error=1060" when no such service is registered
//   service_control control NAME stop|pause|continue|interrogate
//                                  sends the control, prints the returned state
// Exit 0 when the request succeeded, 1 when it was refused, 2 for a wrong
// command line or no manager. Handles go with the process.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

int Refused(const char* what) {
  std::printf("error=%lu\n", GetLastError());
  std::fprintf(stderr, "service_control: %s failed\n", what);
  return 1;
}

int PrintStatus(const SERVICE_STATUS& status) {
  static const char* const kStates[] = {"UNKNOWN", "STOPPED",          "START_PENDING", "STOP_PENDING",
                                        "RUNNING", "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
  std::printf("state=%s\nwin32_exit_code=%lu\ncontrols_accepted=%lu\n",
              kStates[status.dwCurrentState < 8 ? status.dwCurrentState : 0], status.dwWin32ExitCode,
              status.dwControlsAccepted);
  return 0;
}

const char* Text(const char* text) { return text != nullptr ? text : ""; }

int Query(SC_HANDLE manager, const char* name) {
  SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
  SERVICE_STATUS status;
  if (service == nullptr || !QueryServiceStatus(service, &status)) return Refused("query");
  // 8 KiB: the most either record can take.
  alignas(QUERY_SERVICE_CONFIGA) static BYTE config[8192], description[8192];
  const auto* c = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(config);
  const auto* d = reinterpret_cast<const SERVICE_DESCRIPTIONA*>(description);
  DWORD needed = 0;
  if (!QueryServiceConfigA(service, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(config), sizeof config, &needed) ||
      !QueryServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, description, sizeof description, &needed)) {
    return Refused("QueryServiceConfig");
  }
  PrintStatus(status);
  std::printf("service_type=0x%lx\nstart_type=%lu\nerror_control=%lu\nbinary_path=%s\ndisplay_name=%s\naccount=%s\n"
              "description=%s\n", c->dwServiceType, c->dwStartType, c->dwErrorControl, Text(c->lpBinaryPathName),
              Text(c->lpDisplayName), Text(c->lpServiceStartName), Text(d->lpDescription));
  return 0;
}

int Control(SC_HANDLE manager, const char* name, const char* word) {
  const struct { const char* word; DWORD control, right; } controls[] = {
      {"stop", SERVICE_CONTROL_STOP, SERVICE_STOP},
      {"pause", SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_CONTINUE},
      {"continue", SERVICE_CONTROL_CONTINUE, SERVICE_PAUSE_CONTINUE},
      {"interrogate", SERVICE_CONTROL_INTERROGATE, SERVICE_INTERROGATE},
  };
  for (const auto& c : controls) {
    if (std::strcmp(c.word, word) != 0) continue;
    SC_HANDLE service = OpenServiceA(manager, name, c.right | SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    return service != nullptr && ControlService(service, c.control, &status) ? PrintStatus(status)
                                                                              : Refused("ControlService");
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return Refused("OpenSCManagerA") + 1;
  if (argc == 3 && std::strcmp(argv[1], "query") == 0) return Query(manager, argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "control") == 0) return Control(manager, argv[2], argv[3]);
  std::fprintf(stderr, "usage: service_control query NAME | control NAME stop|pause|continue|interrogate\n");
  return 2;
}
