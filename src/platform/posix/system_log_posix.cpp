#include "platform/system_log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace orvanta {

namespace {

// "<6>", "<4>", "<3>": informational, warning, error (sd-daemon(3)).
class JournalLog final : public LogSink {
 public:
  void Write(LogLevel level, uint32_t, const std::string& text) override {
    const int priority = level == LogLevel::kError ? 3 : level == LogLevel::kWarning ? 4 : 6;
    std::fprintf(stderr, "<%d>%s\n", priority, text.c_str());
    std::fflush(stderr);
  }
};

class TerminalLog final : public LogSink {
 public:
  void Write(LogLevel level, uint32_t, const std::string& text) override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "";
    if (localtime_r(&now, &local) != nullptr) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const char* label = level == LogLevel::kError ? "error: " : level == LogLevel::kWarning ? "warning: " : "";
    std::fprintf(stderr, "%s %s%s\n", stamp, label, text.c_str());
    std::fflush(stderr);
  }
};

class NoLog final : public LogSink {
 public:
  void Write(LogLevel, uint32_t, const std::string&) override {}
};

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

std::unique_ptr<LogSink> OpenSystemLog(bool toTerminal) {
  if (Set("JOURNAL_STREAM") || Set("NOTIFY_SOCKET")) return std::make_unique<JournalLog>();
  if (toTerminal) return std::make_unique<TerminalLog>();
  return std::make_unique<NoLog>();
}

bool RegisterLogSource(const std::string&) { return true; }

bool RemoveLogSource() { return true; }

}  // namespace orvanta
