#include "platform/posix/systemd_unit.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>

#include "platform/file_store.h"
#include "platform/last_error.h"

namespace orvanta::posix {

namespace {

bool Refuse(std::string& out) {
  out.clear();
  SetLastError(error::kInvalidParameter);
  return false;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// Whether path is folder itself or lies beneath it.
bool IsWithin(const std::string& path, const std::string& folder) {
  return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsWithinAny(const std::string& path, std::initializer_list<const char*> folders) {
  for (const char* folder : folders) {
    if (IsWithin(path, folder)) return true;
  }
  return false;
}

}  // namespace

bool UnitPathWord(const std::string& path, std::string& word) {
  if (path.empty() || path[0] != '/') return Refuse(word);
  std::string escaped;
  bool blank = false;
  for (const char c : path) {
    if (c == '"' || c == '\'' || c == '\\' || IsControl(c)) return Refuse(word);
    if (c == ' ') blank = true;
    escaped += c;
    if (c == '%') escaped += '%';
  }
  word = blank ? "\"" + escaped + "\"" : escaped;
  return true;
}

bool UnitText(const std::string& text, std::string& value) {
  std::string escaped;
  for (const char c : text) {
    if (IsControl(c)) return Refuse(value);
    escaped += c;
    if (c == '%') escaped += '%';
  }
  value = escaped;
  return true;
}

bool ServiceUnitFile(const std::string& executable, const std::string& description, std::string& unit) {
  std::string program;
  std::string folder;
  std::string text;
  if (!UnitPathWord(executable, program) || !UnitPathWord(FolderOf(executable), folder) ||
      !UnitText(description, text)) {
    return Refuse(unit);
  }
  const std::string home = FolderOf(executable);
  // Home folders stay readable when the program lives in one; a private /tmp
  // would hide a program kept in /tmp.
  const bool inHome = IsWithinAny(home, {"/home", "/root", "/run/user"});
  const bool inTmp = IsWithinAny(home, {"/tmp", "/var/tmp"});

  unit = "# Written by \"orvanta installme\"; \"orvanta uninstallme\" removes it.\n"
         "[Unit]\n"
         "Description=" + text + "\n"
         "Wants=network-online.target\n"
         "After=network-online.target\n"
         "\n"
         "[Service]\n"
         "Type=notify\n"
         "NotifyAccess=main\n"
         "ExecStart=" + program + "\n"
         "# Stop: SIGTERM. Pause: SIGUSR1. Continue: SIGUSR2. Report the state again: SIGHUP.\n"
         "# The right to set the clock and no other (ProtectClock= must stay off).\n"
         "CapabilityBoundingSet=CAP_SYS_TIME\n"
         "AmbientCapabilities=CAP_SYS_TIME\n"
         "NoNewPrivileges=yes\n"
         "# A read-only system; the settings file beside the program is all it writes.\n"
         "ProtectSystem=strict\n"
         "ReadWritePaths=" + folder + "\n"
         "# The stop event and the single-instance guard: /run/orvanta, root's alone.\n"
         "RuntimeDirectory=orvanta\n"
         "RuntimeDirectoryMode=0755\n"
         "ProtectHome=" + (inHome ? "read-only" : "yes") + "\n" +
         (inTmp ? "" : "PrivateTmp=yes\n") +
         "PrivateDevices=yes\n"
         "ProtectKernelTunables=yes\n"
         "ProtectKernelModules=yes\n"
         "ProtectKernelLogs=yes\n"
         "ProtectControlGroups=yes\n"
         "ProtectHostname=yes\n"
         "ProtectProc=invisible\n"
         "ProcSubset=pid\n"
         "PrivateMounts=yes\n"
         "# SNTP and name lookups over IP; the notify socket and the stop event are local sockets.\n"
         "RestrictAddressFamilies=AF_INET AF_INET6 AF_UNIX\n"
         "RestrictNamespaces=yes\n"
         "RestrictRealtime=yes\n"
         "RestrictSUIDSGID=yes\n"
         "LockPersonality=yes\n"
         "MemoryDenyWriteExecute=yes\n"
         "SystemCallArchitectures=native\n"
         "SystemCallFilter=@system-service @clock\n"
         "SystemCallErrorNumber=EPERM\n"
         "\n"
         "[Install]\n"
         "WantedBy=multi-user.target\n";
  return true;
}

bool WithDescription(const std::string& unit, const std::string& description, std::string& out) {
  std::string text;
  if (!UnitText(description, text)) return Refuse(out);
  const std::string header = "[Unit]\n";
  const size_t section = unit.compare(0, header.size(), header) == 0 ? 0 : unit.find("\n" + header);
  if (section == std::string::npos) return Refuse(out);
  const size_t body = unit.find(header, section) + header.size();
  const size_t sectionEnd = std::min(unit.find("\n[", body - 1), unit.size());
  size_t line = unit.find("\nDescription=", body - 1);
  std::string result = unit;
  if (line != std::string::npos && line < sectionEnd) {
    ++line;
    const size_t lineEnd = std::min(unit.find('\n', line), unit.size());
    result.replace(line, lineEnd - line, "Description=" + text);
  } else {
    result.insert(body, "Description=" + text + "\n");
  }
  out = result;
  return true;
}

}  // namespace orvanta::posix
