#include "platform/process.h"
#include "platform/win32/launch_command.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/last_error.h"

namespace orvanta {

std::string ExecutablePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A full buffer means the path was cut short: no path rather than a wrong one.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}

bool LaunchCommand(const std::string& commandLine) {
  std::vector<char> writable(commandLine.begin(), commandLine.end());
  writable.push_back('\0');
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof(process));
  if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void EndProcessNow(int status) {
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace orvanta
