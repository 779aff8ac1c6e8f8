#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/clock.h"
#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"

namespace orvanta {

namespace {

// Setting the clock on Linux: CAP_SYS_TIME raised in the effective set just
// for the change and dropped again; clock_settime does the change.
namespace clock_right {

// Raises or drops CAP_SYS_TIME in this thread's effective set. Raising a
// capability the process was not permitted answers true and changes nothing:
// the change that follows is then refused, as on a system without the right.
inline bool AdjustEffective(bool raise) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  const unsigned index = CAP_TO_INDEX(CAP_SYS_TIME);
  const uint32_t mask = CAP_TO_MASK(CAP_SYS_TIME);
  if (raise) {
    if ((data[index].permitted & mask) == 0) return true;
    data[index].effective |= mask;
  } else {
    data[index].effective &= ~mask;
  }
  if (syscall(SYS_capset, &header, data) != 0) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  return true;
}

inline bool SetRealtime(const UtcInstant& utc) {
  timespec when{};
  when.tv_sec = static_cast<time_t>(utc.unixSeconds);
  when.tv_nsec = static_cast<long>(utc.nanoseconds);
  if (clock_settime(CLOCK_REALTIME, &when) != 0) {
    // Without the right the change is refused as Windows refuses it.
    SetLastError(errno == EPERM ? error::kPrivilegeNotHeld : posix::TranslateErrno(errno));
    return false;
  }
  return true;
}

}  // namespace clock_right

class RealtimeClock final : public Clock {
 public:
  UtcInstant Now() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return UtcInstant{static_cast<int64_t>(now.tv_sec), static_cast<uint32_t>(now.tv_nsec)};
  }

  // The right is CAP_SYS_TIME in this thread's effective set: raised just
  // for the change, dropped right after it.
  bool GrantSetRight() override { return clock_right::AdjustEffective(true); }
  bool Set(const UtcInstant& utc) override { return clock_right::SetRealtime(utc); }
  void WithdrawSetRight() override {
    LastErrorKeeper keep;
    clock_right::AdjustEffective(false);
  }
};

}  // namespace

Clock& RealClock() {
  static RealtimeClock clock;
  return clock;
}

}  // namespace orvanta
