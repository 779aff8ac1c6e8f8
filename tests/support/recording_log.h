// A log that keeps its records as "LEVEL ID text" lines, LEVEL being I, W or E.
#pragma once

#include <string>
#include <vector>

#include "platform/system_log.h"

namespace orvanta::test {

class RecordingLog : public LogSink {
 public:
  void Write(LogLevel level, uint32_t eventId, const std::string& text) override {
    const char* label = level == LogLevel::kError ? "E" : level == LogLevel::kWarning ? "W" : "I";
    records.push_back(std::string(label) + " " + std::to_string(eventId) + " " + text);
  }
  std::vector<std::string> records;
};

}  // namespace orvanta::test
