// The service side under systemd (a unit with Type=notify).
//
// Started as a service: systemd passes NOTIFY_SOCKET (its notify socket,
// a path or "@" and an abstract name), INVOCATION_ID (32 hex digits) and,
// since version 248, SYSTEMD_EXEC_PID (the pid it started). Without the
// first two, or with another process's pid, the dispatcher fails at once
// (1063): a process started from a shell, or one that merely inherited the
// variables from a service, is no service.
//
// Controls come as signals to the process, since systemd has no pause or
// continue of its own:
//   SIGTERM, SIGINT  stop         (SIGTERM is what "systemctl stop" sends)
//   SIGUSR1          pause        (free for the program's own use; SIGTSTP and
//   SIGUSR2          continue      SIGCONT are not: systemd sends SIGCONT after
//                                  every SIGTERM, and the kernel sends it when a
//                                  stopped process resumes)
//   SIGHUP           interrogate  (the state is reported again; the program
//                                  reads its settings afresh at every cycle, so
//                                  there is nothing else a "reload" could mean)
// The dispatcher blocks them before it starts any thread, so every thread
// inherits the block and they wait in the kernel until the dispatcher reads
// them from a signalfd on its own thread. As the Windows manager does, it
// delivers controls only while the last report said running or paused: a
// signal given during start-up waits until the service runs, and those given
// after the stop request are not delivered. They stay blocked after the
// dispatcher has returned: the process ends right after.
//
// Each report is one datagram to the notify socket:
//   start pending  STATUS=Starting (checkpoint N)
//   running        READY=1, STATUS=Running
//   paused         STATUS=Paused
//   stop pending   STOPPING=1, STATUS=Stopping
//   stopped        STOPPING=1, STATUS=Stopped
// and, when the report has a wait hint, EXTEND_TIMEOUT_USEC= that hint (so
// systemd allows that much more time). The dispatcher returns once the
// stopped report was taken or the service main routine has returned, and
// the routine's thread has ended.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"
#include "platform/posix/unique_fd.h"
#include "platform/service_side.h"

namespace orvanta {

namespace {

using posix::UniqueFd;

using namespace service;

struct SignalControl {
  int signal;
  uint32_t control;
};
constexpr SignalControl kSignalControls[] = {
    {SIGTERM, kControlStop},     {SIGINT, kControlStop},         {SIGUSR1, kControlPause},
    {SIGUSR2, kControlContinue}, {SIGHUP, kControlInterrogate},
};

sigset_t ControlSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const SignalControl& entry : kSignalControls) sigaddset(&set, entry.signal);
  return set;
}

uint32_t ControlFor(int signal) {
  for (const SignalControl& entry : kSignalControls) {
    if (entry.signal == signal) return entry.control;
  }
  return kControlInterrogate;
}

struct NotifyAddress {
  sockaddr_un address{};
  socklen_t length = 0;
};

// NOTIFY_SOCKET: an absolute path, or "@" and a name in the abstract namespace.
bool ParseNotifySocket(const char* text, NotifyAddress& out) {
  const size_t length = std::strlen(text);
  if (length < 2 || length > sizeof(out.address.sun_path) || (text[0] != '/' && text[0] != '@')) return false;
  out.address.sun_family = AF_UNIX;
  std::memcpy(out.address.sun_path, text, length);
  if (text[0] == '@') {
    out.address.sun_path[0] = '\0';
    out.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
  } else {
    if (length == sizeof(out.address.sun_path)) return false;  // no room for the terminator
    out.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + 1);
  }
  return true;
}

bool IsInvocationId(const char* text) {
  size_t digits = 0;
  for (; text[digits] != '\0'; ++digits) {
    const char c = text[digits];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return digits == 32;
}

bool IsOwnPid(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long long pid = std::strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && pid == static_cast<long long>(::getpid());
}

bool StartedBySystemd(NotifyAddress& notify) {
  const char* socketName = std::getenv("NOTIFY_SOCKET");
  const char* invocation = std::getenv("INVOCATION_ID");
  const char* execPid = std::getenv("SYSTEMD_EXEC_PID");
  return socketName != nullptr && ParseNotifySocket(socketName, notify) && invocation != nullptr &&
         IsInvocationId(invocation) && (execPid == nullptr || execPid[0] == '\0' || IsOwnPid(execPid));
}

std::string NotifyMessage(const ServiceStatus& status) {
  std::string message;
  switch (status.currentState) {
    case kStartPending:
      message = "STATUS=Starting (checkpoint " + std::to_string(status.checkPoint) + ")";
      break;
    case kRunning: message = "READY=1\nSTATUS=Running"; break;
    case kPaused: message = "STATUS=Paused"; break;
    case kStopPending: message = "STOPPING=1\nSTATUS=Stopping"; break;
    case kStopped: message = "STOPPING=1\nSTATUS=Stopped"; break;
    default: message = "STATUS=State " + std::to_string(status.currentState); break;
  }
  if (status.waitHint != 0) {
    message += "\nEXTEND_TIMEOUT_USEC=" + std::to_string(static_cast<unsigned long long>(status.waitHint) * 1000u);
  }
  return message;
}

// The one service this process runs, for the life of the dispatcher call.
// The handler registration and the reports reach it without any context.
struct DispatchedService {
  std::string name;
  NotifyAddress notify;
  UniqueFd notifySocket;
  UniqueFd wake;  // eventfd: a report was taken, or the main routine returned

  // Guarded by g_mutex.
  bool registered = false;
  uint32_t state = 0;  // of the last report taken
  uint32_t controlsAccepted = 0;
  bool mainReturned = false;

  void Wake() const {
    const uint64_t one = 1;
    (void)!::write(wake.Get(), &one, sizeof one);
  }
};

std::mutex g_mutex;
DispatchedService* g_service = nullptr;

// Makes the service reachable for the registration and the reports, and
// unreachable again on every way out of the dispatcher.
class Publication {
 public:
  explicit Publication(DispatchedService& service) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_service == nullptr) {
      g_service = &service;
      published_ = true;
    }
  }
  ~Publication() {
    if (!published_) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_service = nullptr;
  }
  Publication(const Publication&) = delete;
  Publication& operator=(const Publication&) = delete;
  bool Published() const { return published_; }

 private:
  bool published_ = false;
};

// Joins the service main thread on every way out.
class JoinedThread {
 public:
  JoinedThread() = default;
  ~JoinedThread() {
    if (thread_.joinable()) thread_.join();
  }
  JoinedThread(const JoinedThread&) = delete;
  JoinedThread& operator=(const JoinedThread&) = delete;
  void Start(std::function<void()> body) { thread_ = std::thread(std::move(body)); }

 private:
  std::thread thread_;
};

// Delivers the controls until the service is over.
void DeliverControls(DispatchedService& service, int signals, const std::function<void(uint32_t)>& onControl) {
  for (;;) {
    bool deliver = false;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      if (service.mainReturned || service.state == kStopped) return;
      deliver = service.registered && service.controlsAccepted != 0 &&
                (service.state == kRunning || service.state == kPaused);
    }
    pollfd watched[2] = {{service.wake.Get(), POLLIN, 0}, {deliver ? signals : -1, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      // Nothing more can be waited for: end the service as a stop does, so
      // its stopped report goes out and the service main routine returns.
      onControl(kControlStop);
      return;
    }
    if (watched[0].revents != 0) {
      // A new report may forbid the control: look at the state again first.
      uint64_t count = 0;
      (void)!::read(service.wake.Get(), &count, sizeof count);
      continue;
    }
    if ((watched[1].revents & POLLIN) != 0) {
      signalfd_siginfo info{};
      if (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        onControl(ControlFor(static_cast<int>(info.ssi_signo)));
      }
    }
  }
}

}  // namespace

bool RunServiceDispatcher(const char* serviceName, std::function<void()> serviceMain,
                          std::function<void(uint32_t control)> onControl) {
  DispatchedService service;
  if (!StartedBySystemd(service.notify)) {
    SetLastError(error::kFailedServiceControllerConnect);
    return false;
  }
  const sigset_t controls = ControlSignals();
  const int blocked = ::pthread_sigmask(SIG_BLOCK, &controls, nullptr);
  if (blocked != 0) {
    SetLastError(posix::TranslateErrno(blocked));
    return false;
  }
  UniqueFd signals(::signalfd(-1, &controls, SFD_CLOEXEC | SFD_NONBLOCK));
  service.wake = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  service.notifySocket = UniqueFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!signals.Valid() || !service.wake.Valid() || !service.notifySocket.Valid()) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  service.name = serviceName != nullptr ? serviceName : "";

  Publication publication(service);
  if (!publication.Published()) {
    SetLastError(error::kServiceAlreadyRunning);  // one dispatcher per process
    return false;
  }
  JoinedThread mainThread;
  try {
    mainThread.Start([&service, &serviceMain] {
      serviceMain();
      std::lock_guard<std::mutex> lock(g_mutex);
      service.mainReturned = true;
      service.Wake();
    });
  } catch (const std::system_error&) {
    SetLastError(error::kNotEnoughMemory);
    return false;
  }
  DeliverControls(service, signals.Get(), onControl);
  return true;
}

bool RegisterServiceControlHandler(const char* serviceName) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_service == nullptr) {
    SetLastError(error::kFailedServiceControllerConnect);
    return false;
  }
  if (serviceName == nullptr || g_service->name != serviceName) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  g_service->registered = true;
  return true;
}

namespace {

// One datagram to systemd; the caller holds g_mutex.
bool Notify(const std::string& message) {
  const ssize_t sent =
      ::sendto(g_service->notifySocket.Get(), message.data(), message.size(), MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&g_service->notify.address), g_service->notify.length);
  if (sent != static_cast<ssize_t>(message.size())) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  return true;
}

}  // namespace

bool SendServiceStatusText(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_service == nullptr || !g_service->registered) return true;  // not a service: nobody to tell
  if (text.find('\n') != std::string::npos) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  return Notify("STATUS=" + text);
}

bool SendServiceStatus(const ServiceStatus& status) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_service == nullptr || !g_service->registered) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  if (!Notify(NotifyMessage(status))) return false;
  g_service->state = status.currentState;
  g_service->controlsAccepted = status.controlsAccepted;
  g_service->Wake();
  return true;
}

}  // namespace orvanta
