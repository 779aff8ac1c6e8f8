#include "platform/system_log.h"

#include <windows.h>

#include <vector>

#include "platform/last_error.h"

namespace orvanta {

namespace {

constexpr char kSourceName[] = "OrvantaService";
constexpr char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\OrvantaService";

// Owns an event source handle.
class EventLog final : public LogSink {
 public:
  EventLog() : source_(RegisterEventSourceA(nullptr, kSourceName)) {}
  ~EventLog() override {
    if (source_ != nullptr) DeregisterEventSource(source_);
  }
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  void Write(LogLevel level, uint32_t eventId, const std::string& text) override {
    if (source_ == nullptr) return;
    const WORD type = level == LogLevel::kError     ? EVENTLOG_ERROR_TYPE
                      : level == LogLevel::kWarning ? EVENTLOG_WARNING_TYPE
                                                    : EVENTLOG_INFORMATION_TYPE;
    // The message table's entries are "%1": the record's own text fills them.
    std::vector<wchar_t> wide(text.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), wide.data(),
                        static_cast<int>(wide.size()));
    const wchar_t* strings[] = {wide.data()};
    // The severity bits of the identifier match the level, as windmc made them.
    const DWORD severity = level == LogLevel::kError ? 0xC0000000u : level == LogLevel::kWarning ? 0x80000000u : 0x40000000u;
    ReportEventW(source_, type, 0, severity | eventId, nullptr, 1, 0, strings, nullptr);
  }

 private:
  HANDLE source_;
};

// Owns an open registry key.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool Succeeded(LONG result) {
  if (result == ERROR_SUCCESS) return true;
  SetLastError(static_cast<uint32_t>(result));
  return false;
}

}  // namespace

std::unique_ptr<LogSink> OpenSystemLog(bool) { return std::make_unique<EventLog>(); }

bool RegisterLogSource(const std::string& executablePath) {
  Key key;
  if (!Succeeded(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Out(),
                                 nullptr))) {
    return false;
  }
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  return Succeeded(RegSetValueExA(key.Get(), "EventMessageFile", 0, REG_EXPAND_SZ,
                                  reinterpret_cast<const BYTE*>(executablePath.c_str()),
                                  static_cast<DWORD>(executablePath.size() + 1))) &&
         Succeeded(RegSetValueExA(key.Get(), "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                                  sizeof types));
}

bool RemoveLogSource() {
  const LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSourceKey);
  return result == ERROR_FILE_NOT_FOUND || Succeeded(result);
}

}  // namespace orvanta
