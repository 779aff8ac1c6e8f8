#include "platform/process.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

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

void EndProcessNow(int status) {
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace orvanta
