#include "platform/process.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"

namespace orvanta {

std::string ExecutablePath() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      posix::SetLastErrorFromErrno();
      return std::string();
    }
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

bool LaunchInstaller(const std::string&) {
  SetLastError(error::kCallNotImplemented);  // no package installer to hand anything to
  return false;
}

bool RelaunchElevated(const std::string&) {
  SetLastError(error::kCallNotImplemented);  // a user who may not write asks sudo, not us
  return false;
}

void EndProcessNow(int status) {
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace orvanta
