#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"
#include "platform/tcp_connection.h"

namespace orvanta {

namespace {

bool Fail() {
  posix::SetLastErrorFromErrno();
  return false;
}

// Waits for a non-blocking connect to end; its outcome is in SO_ERROR.
bool AwaitConnect(int fd, uint32_t timeoutMs) {
  pollfd entry{};
  entry.fd = fd;
  entry.events = POLLOUT;
  int ready = 0;
  do {
    ready = poll(&entry, 1, static_cast<int>(timeoutMs));
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return Fail();
  if (ready == 0) {
    SetLastError(error::kWsaTimedOut);
    return false;
  }
  int failure = 0;
  socklen_t size = sizeof failure;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) return Fail();
  if (failure == 0) return true;
  errno = failure;
  return Fail();
}

}  // namespace

bool TcpConnection::Connect(uint32_t address, uint16_t port, uint32_t timeoutMs) {
  // The TLS library writes with plain send(): a peer that closes early must
  // give EPIPE, not end the process with SIGPIPE.
  static const bool kPipeIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)kPipeIgnored;
  Close();
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Fail();
  handle_ = fd;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS) return Fail();
    if (!AwaitConnect(fd, timeoutMs)) return false;
  }
  // Blocking again, each send and receive bounded by the same limit.
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(timeoutMs / 1000);
  limit.tv_usec = static_cast<suseconds_t>(timeoutMs % 1000 * 1000);
  if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0 ||
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
    return Fail();
  }
  return true;
}

void TcpConnection::Close() {
  if (handle_ == kNone) return;
  LastErrorKeeper keep;
  close(static_cast<int>(handle_));
  handle_ = kNone;
}

}  // namespace orvanta
