// What a synchronization pass tells the log, and the one-line status of its
// outcome. Per pass at most: each server that failed, with the reason in
// words; the synchronization, or that no server could be used; a settings
// file that could not be written. A server that keeps failing is reported at
// its first failure and then once an hour, so a dead server does not fill
// the log. One report lives as long as the process, across its passes.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/system_log.h"
#include "platform/system_time.h"
#include "sync/sntp_reply.h"

namespace orvanta {

class PassReport {
 public:
  explicit PassReport(LogSink& log) : log_(log) {}

  // Starts a pass at a moment of a steady clock (milliseconds).
  void BeginPass(int64_t steadyMs) { passMs_ = steadyMs; }

  // address in network byte order; addressKnown false when the name did not resolve.
  void ServerFailed(const std::string& host, bool addressKnown, uint32_t address, uint32_t code);
  void Synchronized(const std::string& host, uint32_t address, const SntpReply& reply, const SystemTime& local);
  void SettingsNotWritten(const std::string& path, uint32_t code);
  void NoServer(const SystemTime& local);

  // "Synchronized 10:02:03 from time.cloudflare.com (+0.003 s)" or
  // "No server answered at 10:02:08"; empty before the first pass ends.
  const std::string& Status() const { return status_; }

 private:
  LogSink& log_;
  int64_t passMs_ = 0;
  std::map<std::string, int64_t> lastFailureReported_;
  std::string status_;
};

}  // namespace orvanta
