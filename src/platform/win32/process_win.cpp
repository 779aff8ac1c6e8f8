#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace orvanta {

std::string ExecutablePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A full buffer means the path was cut short: no path rather than a wrong one.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}

bool LaunchInstaller(const std::string& commandLine) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::string program = std::string(folder, length) + "\\MsiExec.exe";
  std::vector<char> writable(commandLine.begin(), commandLine.end());
  writable.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  // Nothing waits for it: both handles go at once.
  UniqueHandle thread(process.hThread);
  UniqueHandle child(process.hProcess);
  return true;
}

namespace {

// Whether this process runs with its administrator rights (Vista's token
// elevation; a system without it has no UAC to ask).
bool Elevated() {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) return false;
  struct {
    DWORD isElevated;
  } elevation{};
  DWORD size = 0;
  constexpr auto kTokenElevation = static_cast<TOKEN_INFORMATION_CLASS>(20);
  if (!GetTokenInformation(token.Get(), kTokenElevation, &elevation, sizeof elevation, &size)) return true;
  return elevation.isElevated != 0;
}

}  // namespace

bool RelaunchElevated(const std::string& arguments) {
  if (Elevated()) return false;
  const std::string self = ExecutablePath();
  if (self.empty()) return false;
  SHELLEXECUTEINFOA execute{};
  execute.cbSize = sizeof execute;
  execute.lpVerb = "runas";
  execute.lpFile = self.c_str();
  execute.lpParameters = arguments.c_str();
  execute.nShow = SW_SHOWNORMAL;
  return ShellExecuteExA(&execute) != FALSE;
}

void EndProcessNow(int status) {
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace orvanta
