// Where the program says what happened: one record per event, with a level
// and the event's number.
//
// Windows: the Event Log, Application, source "OrvantaService" (ReportEventW;
//   the numbers are those of the message table the program carries).
// Linux under systemd (JOURNAL_STREAM or NOTIFY_SOCKET set): one line per
//   record on standard error with the sd-daemon priority prefix, which
//   journald reads as the record's priority.
// Linux on a terminal, when asked for ("debug"): one line per record on
//   standard error, after the local time.
// Anywhere else nothing is written: "once" on a terminal stays silent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvanta {

enum class LogLevel { kInformation, kWarning, kError };

// The events the program records, by the number its message table gives
// them (each always with the same level).
namespace log_event {
constexpr uint32_t kServiceStarted = 1;      // information
constexpr uint32_t kServicePaused = 2;       // information
constexpr uint32_t kServiceContinued = 3;    // information
constexpr uint32_t kServiceStopped = 4;      // information
constexpr uint32_t kSynchronized = 5;        // information
constexpr uint32_t kServerFailed = 6;        // warning
constexpr uint32_t kSettingsNotWritten = 7;  // warning
constexpr uint32_t kNoServer = 8;            // error
constexpr uint32_t kWorkerNotStarted = 9;    // error
}  // namespace log_event

class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void Write(LogLevel level, uint32_t eventId, const std::string& text) = 0;
};

// The platform's log for this process; toTerminal asks for plain lines when
// the process runs on a terminal rather than under a service manager.
std::unique_ptr<LogSink> OpenSystemLog(bool toTerminal);

// The Event Log source "OrvantaService", with the executable as its message
// file: registered by "installme", removed by "uninstallme". Registering
// again changes nothing. Elsewhere there is nothing to register (true).
bool RegisterLogSource(const std::string& executablePath);
bool RemoveLogSource();

}  // namespace orvanta
