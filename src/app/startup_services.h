// The operating-system services start-up uses, gathered so that tests can
// put recording stand-ins in their place. main.cpp wires the platform's own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/named_event.h"
#include "platform/sleeper.h"
#include "platform/system_log.h"
#include "sync/pass_report.h"
#include "settings/settings_file.h"

namespace orvanta {

struct StartupServices {
  std::string executablePath;
  Sleeper* sleeper = nullptr;  // the start-up delay of "once"
  std::function<bool(const std::string& commandLine)> launchInstaller;  // absent: "/I" does nothing
  std::function<std::unique_ptr<NamedEvent>(const char* name)> createNamedEvent;
  // One synchronization pass, telling the report what happened.
  std::function<bool(const SettingsFile& settings, PassReport& report)> synchronize;
  // The log of a role that records what it does; toTerminal for "debug".
  std::function<std::unique_ptr<LogSink>(bool toTerminal)> openLog;
  // A steady clock in milliseconds, for how often a failing server is reported.
  std::function<int64_t()> steadyMs;
  // The outcome of a pass, for the service manager's status line.
  std::function<void(const std::string& status)> announce;
  // "query": asks each host and hands each line to print; returns how many
  // answered. The settings name the NTS trust anchors.
  std::function<int(const SettingsFile& settings, const std::vector<std::string>& hosts,
                    const std::function<void(const std::string&)>& print)>
      queryServers;
  // Whether the settings file may be written, and a new start of the
  // program with administrator rights (the options window of a user who
  // may not write the program's folder asks for them).
  std::function<bool(const std::string& path)> mayWriteSettings;
  std::function<bool(const std::string& arguments)> relaunchElevated;
  // One line to the console of whoever started the program (standard
  // output, or standard error when error is set).
  std::function<void(const std::string& line, bool error)> writeConsole;
};

}  // namespace orvanta
