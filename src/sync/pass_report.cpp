#include "sync/pass_report.h"

#include <cstdio>

#include "sync/failure_reasons.h"

namespace orvanta {

namespace {

constexpr int64_t kRepeatFailureAfterMs = 3600 * 1000;

std::string ClockTime(const SystemTime& local) {
  char text[24];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", local.wHour, local.wMinute, local.wSecond);
  return text;
}

}  // namespace

void PassReport::ServerFailed(const std::string& host, bool addressKnown, uint32_t address, uint32_t code) {
  const auto last = lastFailureReported_.find(host);
  if (last != lastFailureReported_.end() && passMs_ - last->second < kRepeatFailureAfterMs) return;
  lastFailureReported_[host] = passMs_;
  log_.Write(LogLevel::kWarning, log_event::kServerFailed,
             "Server " + host + " (" + AddressText(addressKnown, address) + ") failed: " + ReasonInWords(code) + ".");
}

void PassReport::Synchronized(const std::string& host, uint32_t address, const SntpReply& reply,
                              const SystemTime& local) {
  lastFailureReported_.erase(host);  // a later failure counts as a first one again
  char numbers[128];
  std::snprintf(numbers, sizeof numbers, "offset %+.6f s, delay %.6f s, stratum %d%s", reply.offset, reply.delay,
                static_cast<int>(reply.stratum), reply.authenticated ? ", authenticated by NTS" : "");
  log_.Write(LogLevel::kInformation, log_event::kSynchronized,
             "Synchronized from " + host + " (" + AddressText(true, address) + "): " + numbers + ".");
  char offset[32];
  std::snprintf(offset, sizeof offset, "%+.3f s", reply.offset);
  status_ = "Synchronized " + ClockTime(local) + " from " + host + " (" + offset + ")";
}

void PassReport::SettingsNotWritten(const std::string& path, uint32_t code) {
  log_.Write(LogLevel::kWarning, log_event::kSettingsNotWritten,
             "The settings file " + path + " could not be written: " + ReasonInWords(code) +
                 ". The clock was set all the same.");
}

void PassReport::NoServer(const SystemTime& local) {
  log_.Write(LogLevel::kError, log_event::kNoServer, "No server could be used in this pass.");
  status_ = "No server answered at " + ClockTime(local);
}

}  // namespace orvanta
