#include "platform/named_event.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"
#include "platform/posix/unique_fd.h"

namespace orvanta {

namespace {

using posix::UniqueFd;

constexpr char kAbstractPrefix[] = "orvanta-event:";

struct EventAddress {
  sockaddr_un address{};
  socklen_t length = 0;
};

bool MakeAddress(const char* name, EventAddress& out) {
  const std::string path = std::string(kAbstractPrefix) + name;
  if (path.size() + 1 > sizeof(out.address.sun_path)) {
    SetLastError(error::kInvalidParameter);
    return false;
  }
  out.address.sun_family = AF_UNIX;
  out.address.sun_path[0] = '\0';  // abstract: no file, gone with the socket
  std::memcpy(out.address.sun_path + 1, path.data(), path.size());
  out.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
  return true;
}

bool SendSignal(const EventAddress& target) {
  UniqueFd fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  const char byte = 1;
  if (::sendto(fd.Get(), &byte, 1, MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&target.address), target.length) != 1) {
    // A full queue already holds pending signals: the event is signalled.
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    posix::SetLastErrorFromErrno();
    return false;
  }
  return true;
}

bool TrustedSender(uid_t uid) { return uid == 0 || uid == ::getuid() || uid == ::geteuid(); }

class PosixNamedEvent final : public NamedEvent {
 public:
  PosixNamedEvent(UniqueFd fd, const EventAddress& address, bool existed)
      : fd_(std::move(fd)), address_(address), existed_(existed) {}

  bool AlreadyExisted() const override { return existed_; }

  bool Signal() override { return SendSignal(address_); }

  WaitResult Wait(uint32_t timeoutMs) override {
    if (existed_ || !fd_.Valid()) return WaitResult::kFailed;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      const int waitMs = left <= 0 ? 0 : (left > INT_MAX ? INT_MAX : static_cast<int>(left));
      pollfd pfd{fd_.Get(), POLLIN, 0};
      const int ready = ::poll(&pfd, 1, waitMs);
      if (ready < 0) {
        if (errno == EINTR) continue;
        posix::SetLastErrorFromErrno();
        return WaitResult::kFailed;
      }
      if (ready == 0) {
        if (left <= 0) return WaitResult::kTimedOut;
        continue;  // woke early for the INT_MAX clamp
      }
      if (TakeQueued() == Queued::kTrusted) {
        // Automatic reset: one wait consumes the signal, however often given,
        // and strangers' datagrams queued between the signals go with it.
        while (TakeQueued() != Queued::kNothing) {
        }
        return WaitResult::kSignalled;
      }
    }
  }

 private:
  enum class Queued { kNothing, kTrusted, kStranger };

  // Reads one queued datagram without blocking: a signal of a trusted
  // sender, or one from another user, which is dropped.
  Queued TakeQueued() {
    char byte;
    iovec io{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    if (::recvmsg(fd_.Get(), &message, MSG_DONTWAIT) < 0) return Queued::kNothing;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
        ucred credentials;
        std::memcpy(&credentials, CMSG_DATA(c), sizeof(credentials));
        return TrustedSender(credentials.uid) ? Queued::kTrusted : Queued::kStranger;
      }
    }
    return Queued::kStranger;
  }

  UniqueFd fd_;
  EventAddress address_;
  bool existed_;
};

}  // namespace

std::unique_ptr<NamedEvent> CreateNamedEvent(const char* name) {
  EventAddress address;
  if (!MakeAddress(name, address)) return nullptr;
  UniqueFd fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    posix::SetLastErrorFromErrno();
    return nullptr;
  }
  const int on = 1;
  // Every queued signal then carries its sender's credentials.
  if (::setsockopt(fd.Get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof(on)) != 0) {
    posix::SetLastErrorFromErrno();
    return nullptr;
  }
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address.address), address.length) != 0) {
    if (errno != EADDRINUSE) {
      posix::SetLastErrorFromErrno();
      return nullptr;
    }
    SetLastError(error::kAlreadyExists);
    return std::make_unique<PosixNamedEvent>(UniqueFd(), address, true);
  }
  SetLastError(error::kSuccess);
  return std::make_unique<PosixNamedEvent>(std::move(fd), address, false);
}

bool SignalNamedEvent(const char* name) {
  EventAddress address;
  return MakeAddress(name, address) && SendSignal(address);
}

}  // namespace orvanta
