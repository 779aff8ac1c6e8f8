// Asks the Service Control Manager about one service and sends it controls,
// as the end-to-end scripts need (Wine's sc.exe starts and stops, but can
// neither read the registration nor pause, continue or interrogate). One
// line "key=value" per fact:
//   service_control query NAME     state, exit codes, controls, registration;
//                                  "error=1060" when no such service is registered
//   service_control control NAME stop|pause|continue|interrogate
//                                  sends the control, prints the returned state
// Exit 0 when the request succeeded, 1 when it was refused, 2 for a wrong
// command line or no manager.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Owns one manager or service handle.
class ScHandle {
 public:
  explicit ScHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ScHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  explicit operator bool() const { return handle_ != nullptr; }
  SC_HANDLE Get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

struct StateName {
  DWORD state;
  const char* name;
};
const StateName kStates[] = {
    {SERVICE_STOPPED, "STOPPED"},          {SERVICE_START_PENDING, "START_PENDING"},
    {SERVICE_STOP_PENDING, "STOP_PENDING"}, {SERVICE_RUNNING, "RUNNING"},
    {SERVICE_CONTINUE_PENDING, "CONTINUE_PENDING"}, {SERVICE_PAUSE_PENDING, "PAUSE_PENDING"},
    {SERVICE_PAUSED, "PAUSED"},
};

const char* NameOfState(DWORD state) {
  for (const StateName& s : kStates)
    if (s.state == state) return s.name;
  return "UNKNOWN";
}

int Refused(const char* what) {
  std::printf("error=%lu\n", static_cast<unsigned long>(GetLastError()));
  std::fprintf(stderr, "service_control: %s failed\n", what);
  return 1;
}

// Opens the service with the given rights; prints why not and answers null.
SC_HANDLE OpenNamed(const ScHandle& manager, const char* name, DWORD rights) {
  SC_HANDLE service = OpenServiceA(manager.Get(), name, rights);
  if (service == nullptr) Refused("OpenServiceA");
  return service;
}

void PrintStatus(const SERVICE_STATUS& status) {
  std::printf("state=%s\n", NameOfState(status.dwCurrentState));
  std::printf("win32_exit_code=%lu\n", static_cast<unsigned long>(status.dwWin32ExitCode));
  std::printf("service_specific_exit_code=%lu\n",
              static_cast<unsigned long>(status.dwServiceSpecificExitCode));
  std::printf("controls_accepted=%lu\n", static_cast<unsigned long>(status.dwControlsAccepted));
}

// Reads one configuration record into a buffer of the size the manager asks for.
template <typename Query>
bool ReadConfig(Query query, std::vector<BYTE>& buffer) {
  DWORD needed = 0;
  buffer.assign(1, 0);
  if (query(buffer.data(), 0, &needed)) return true;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  buffer.assign(needed, 0);
  return query(buffer.data(), needed, &needed) != FALSE;
}

const char* Text(const char* text) { return text != nullptr ? text : ""; }

int Query(const ScHandle& manager, const char* name) {
  ScHandle service(OpenNamed(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
  if (!service) return 1;
  SERVICE_STATUS status;
  if (!QueryServiceStatus(service.Get(), &status)) return Refused("QueryServiceStatus");
  PrintStatus(status);

  std::vector<BYTE> config;
  if (!ReadConfig(
          [&](BYTE* data, DWORD size, DWORD* needed) {
            return QueryServiceConfigA(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(data), size,
                                       needed);
          },
          config)) {
    return Refused("QueryServiceConfigA");
  }
  const auto* c = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(config.data());
  std::printf("service_type=0x%lx\n", static_cast<unsigned long>(c->dwServiceType));
  std::printf("start_type=%lu\n", static_cast<unsigned long>(c->dwStartType));
  std::printf("error_control=%lu\n", static_cast<unsigned long>(c->dwErrorControl));
  std::printf("binary_path=%s\n", Text(c->lpBinaryPathName));
  std::printf("display_name=%s\n", Text(c->lpDisplayName));
  std::printf("account=%s\n", Text(c->lpServiceStartName));

  std::vector<BYTE> description;
  if (!ReadConfig(
          [&](BYTE* data, DWORD size, DWORD* needed) {
            return QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, data, size, needed);
          },
          description)) {
    return Refused("QueryServiceConfig2A");
  }
  std::printf("description=%s\n",
              Text(reinterpret_cast<const SERVICE_DESCRIPTIONA*>(description.data())->lpDescription));
  return 0;
}

int Control(const ScHandle& manager, const char* name, const char* word) {
  struct ControlWord {
    const char* word;
    DWORD control;
    DWORD right;
  };
  const ControlWord words[] = {
      {"stop", SERVICE_CONTROL_STOP, SERVICE_STOP},
      {"pause", SERVICE_CONTROL_PAUSE, SERVICE_PAUSE_CONTINUE},
      {"continue", SERVICE_CONTROL_CONTINUE, SERVICE_PAUSE_CONTINUE},
      {"interrogate", SERVICE_CONTROL_INTERROGATE, SERVICE_INTERROGATE},
  };
  const ControlWord* chosen = nullptr;
  for (const ControlWord& w : words)
    if (std::strcmp(w.word, word) == 0) chosen = &w;
  if (chosen == nullptr) {
    std::fprintf(stderr, "service_control: unknown control %s\n", word);
    return 2;
  }
  ScHandle service(OpenNamed(manager, name, chosen->right | SERVICE_QUERY_STATUS));
  if (!service) return 1;
  SERVICE_STATUS status;
  std::memset(&status, 0, sizeof(status));
  if (!ControlService(service.Get(), chosen->control, &status)) return Refused("ControlService");
  PrintStatus(status);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: service_control query NAME | control NAME stop|pause|continue|interrogate\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const char* command = argv[1];
  const char* name = argv[2];
  ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    Refused("OpenSCManagerA");
    return 2;
  }
  if (std::strcmp(command, "query") == 0 && argc == 3) return Query(manager, name);
  if (std::strcmp(command, "control") == 0 && argc == 4) return Control(manager, name, argv[3]);
  return Usage();
}
