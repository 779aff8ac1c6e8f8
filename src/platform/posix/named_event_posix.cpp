// The named event on Linux: two files in a runtime folder that only root, or
// the holder's own user, may write.
//
//   <folder>/<name>.lock  the single-instance guard: the holder keeps a flock
//                         on it for its life, and the kernel drops the lock
//                         when the holder ends, however it ends, so the guard
//                         never goes stale.
//   <folder>/<name>.sock  a datagram socket the holder binds, mode 0600: a
//                         signal is one queued datagram, kept until the next
//                         wait; every datagram carries its sender's
//                         credentials, and only root's or the holder's own
//                         user's count.
//
// <name> is the event's name after its last backslash ("OrvantaServiceEvent").
// The folder is ORVANTA_RUNTIME_DIR when set; for root /run/orvanta (the
// unit's RuntimeDirectory=); for anybody else <XDG_RUNTIME_DIR>/orvanta,
// else /run/user/<uid>/orvanta. A folder that is missing is created; one that
// is a link, belongs to another user or can be written by group or others is
// refused, since whoever may write there could take or fake the event.
#include "platform/named_event.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"
#include "platform/posix/unique_fd.h"

namespace orvanta {

namespace {

using posix::UniqueFd;

constexpr char kFolderVariable[] = "ORVANTA_RUNTIME_DIR";
constexpr char kRootFolder[] = "/run/orvanta";

bool Fail() {
  posix::SetLastErrorFromErrno();
  return false;
}

bool Refuse(uint32_t code) {
  SetLastError(code);
  return false;
}

std::string RuntimeFolder() {
  const char* configured = std::getenv(kFolderVariable);
  if (configured != nullptr && configured[0] == '/') return configured;
  if (::geteuid() == 0) return kRootFolder;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string base = runtime != nullptr && runtime[0] == '/'
                               ? std::string(runtime)
                               : "/run/user/" + std::to_string(static_cast<unsigned long>(::geteuid()));
  return base + "/orvanta";
}

// Creates the folder when it is missing, then makes sure nobody but root and
// this user can write it.
bool EnsureOwnFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), ::geteuid() == 0 ? 0755 : 0700) != 0 && errno != EEXIST) return Fail();
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0) return Fail();
  const bool owned = status.st_uid == ::geteuid() || status.st_uid == 0;
  if (!S_ISDIR(status.st_mode) || !owned || (status.st_mode & 022) != 0) return Refuse(error::kAccessDenied);
  return true;
}

struct EventFiles {
  std::string lock;
  sockaddr_un socket{};
  socklen_t socketLength = 0;
};

bool FilesFor(const char* name, EventFiles& files) {
  if (name == nullptr) return Refuse(error::kInvalidParameter);
  const char* base = std::strrchr(name, '\\');
  base = base != nullptr ? base + 1 : name;
  if (base[0] == '\0' || std::strchr(base, '/') != nullptr) return Refuse(error::kInvalidParameter);
  const std::string stem = RuntimeFolder() + "/" + base;
  const std::string socketPath = stem + ".sock";
  if (socketPath.size() + 1 > sizeof(files.socket.sun_path)) return Refuse(error::kInvalidParameter);
  files.lock = stem + ".lock";
  files.socket.sun_family = AF_UNIX;
  std::memcpy(files.socket.sun_path, socketPath.c_str(), socketPath.size() + 1);
  files.socketLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath.size() + 1);
  return true;
}

std::string FolderOfFiles(const EventFiles& files) { return files.lock.substr(0, files.lock.find_last_of('/')); }

// One datagram to the holder. False whenever it was not queued: nobody holds
// the event (2), the queue is full (170, busy), or the send failed.
bool SendSignal(const EventFiles& files) {
  const UniqueFd fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return Fail();
  const char byte = 1;
  if (::sendto(fd.Get(), &byte, 1, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&files.socket),
               files.socketLength) == 1) {
    return true;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK) return Refuse(error::kBusy);
  if (errno == ECONNREFUSED || errno == ENOENT) return Refuse(error::kFileNotFound);
  return Fail();
}

bool TrustedSender(uid_t uid) { return uid == 0 || uid == ::getuid() || uid == ::geteuid(); }

class PosixNamedEvent final : public NamedEvent {
 public:
  PosixNamedEvent(UniqueFd guard, UniqueFd socket, EventFiles files)
      : guard_(std::move(guard)), socket_(std::move(socket)), files_(std::move(files)) {}
  // The socket goes before the guard: nobody else can bind the name while
  // the guard is held.
  ~PosixNamedEvent() override {
    if (socket_.Valid()) ::unlink(files_.socket.sun_path);
  }

  bool AlreadyExisted() const override { return !socket_.Valid(); }

  bool Signal() override { return SendSignal(files_); }

  WaitResult Wait(uint32_t timeoutMs) override {
    if (!socket_.Valid()) return WaitResult::kFailed;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      const int waitMs = left <= 0 ? 0 : (left > INT_MAX ? INT_MAX : static_cast<int>(left));
      pollfd pfd{socket_.Get(), POLLIN, 0};
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
        // and any other datagrams queued with it go too.
        while (TakeQueued() != Queued::kNothing) {
        }
        return WaitResult::kSignalled;
      }
    }
  }

 private:
  enum class Queued { kNothing, kTrusted, kStranger };

  // Reads one queued datagram without blocking: a signal of a trusted
  // sender, or one from anybody else, which is dropped.
  Queued TakeQueued() {
    char byte;
    iovec io{&byte, 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    if (::recvmsg(socket_.Get(), &message, MSG_DONTWAIT) < 0) return Queued::kNothing;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
        ucred credentials;
        std::memcpy(&credentials, CMSG_DATA(c), sizeof(credentials));
        return TrustedSender(credentials.uid) ? Queued::kTrusted : Queued::kStranger;
      }
    }
    return Queued::kStranger;
  }

  UniqueFd guard_;
  UniqueFd socket_;
  EventFiles files_;
};

// Binds the event's socket, mode 0600 from the start: the mode of the file
// bind creates comes from the socket's own.
bool BindSocket(const EventFiles& files, UniqueFd& socket) {
  socket = UniqueFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  const int on = 1;
  if (!socket.Valid() || ::fchmod(socket.Get(), 0600) != 0 ||
      ::setsockopt(socket.Get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof(on)) != 0) {
    return Fail();
  }
  // A socket file left by a holder that died; the guard says nobody binds it now.
  if (::unlink(files.socket.sun_path) != 0 && errno != ENOENT) return Fail();
  if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&files.socket), files.socketLength) != 0) return Fail();
  return true;
}

}  // namespace

std::unique_ptr<NamedEvent> CreateNamedEvent(const char* name) {
  EventFiles files;
  if (!FilesFor(name, files) || !EnsureOwnFolder(FolderOfFiles(files))) return nullptr;
  UniqueFd guard(::open(files.lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600));
  if (!guard.Valid()) {
    Fail();
    return nullptr;
  }
  if (::flock(guard.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) {
      Fail();
      return nullptr;
    }
    SetLastError(error::kAlreadyExists);  // another process holds it
    return std::make_unique<PosixNamedEvent>(UniqueFd(), UniqueFd(), std::move(files));
  }
  UniqueFd socket;
  if (!BindSocket(files, socket)) return nullptr;
  SetLastError(error::kSuccess);
  return std::make_unique<PosixNamedEvent>(std::move(guard), std::move(socket), std::move(files));
}

bool SignalNamedEvent(const char* name) {
  EventFiles files;
  return FilesFor(name, files) && SendSignal(files);
}

}  // namespace orvanta
