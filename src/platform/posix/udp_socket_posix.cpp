#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/last_error.h"
#include "platform/posix/errno_translation.h"
#include "platform/udp_socket.h"

namespace orvanta {

namespace {

int Descriptor(std::uintptr_t handle) { return static_cast<int>(handle); }

}  // namespace

UdpSocket::UdpSocket() {
  // Close-on-exec, so that a launched program does not inherit the socket.
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    posix::SetLastErrorFromErrno();
    return;
  }
  handle_ = static_cast<std::uintptr_t>(fd);
}

bool UdpSocket::ParseDottedQuad(const char* host, uint32_t& address) {
  const in_addr_t parsed = inet_addr(host);
  if (parsed == INADDR_NONE) return false;
  address = parsed;
  return true;
}

bool UdpSocket::Connect(uint32_t address, uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  if (connect(Descriptor(handle_), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  return true;
}

bool UdpSocket::Send(const void* data, std::size_t length) {
  ssize_t sent = 0;
  do {
    sent = send(Descriptor(handle_), data, length, 0);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) {
    posix::SetLastErrorFromErrno();
    return false;
  }
  return true;
}

bool UdpSocket::WaitReadable(bool& readable, uint32_t timeoutMs) {
  // poll rather than select: no FD_SETSIZE ceiling on the descriptor. A
  // pending error (an ICMP answer) counts as readable, as it does for select;
  // the receive then reports it. A signal does not cut the wait short.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd entry{};
  entry.fd = Descriptor(handle_);
  entry.events = POLLIN;
  int ready = 0;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    entry.revents = 0;
    ready = poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (ready >= 0) break;
    if (errno != EINTR) {
      posix::SetLastErrorFromErrno();
      return false;
    }
  }
  readable = ready != 0;
  return true;
}

int UdpSocket::Receive(void* buffer, std::size_t length) {
  // MSG_TRUNC makes recv tell the datagram's whole length, so a longer one is
  // refused as on Windows; MSG_DONTWAIT keeps a datagram dropped after the
  // wait (a bad checksum) from blocking us.
  ssize_t received = 0;
  do {
    received = recv(Descriptor(handle_), buffer, length, MSG_TRUNC | MSG_DONTWAIT);
  } while (received < 0 && errno == EINTR);
  if (received < 0) {
    // An ICMP "port unreachable" reaches a datagram socket as ECONNREFUSED;
    // Windows reports it on the receive as a reset connection.
    if (errno == ECONNREFUSED) {
      SetLastError(error::kWsaConnectionReset);
    } else {
      posix::SetLastErrorFromErrno();
    }
    return kSocketError;
  }
  if (static_cast<std::size_t>(received) > length) {
    SetLastError(error::kWsaMessageTooLong);
    return kSocketError;
  }
  return static_cast<int>(received);
}

void UdpSocket::Close() {
  if (!IsOpen()) return;
  LastErrorKeeper keep;
  close(Descriptor(handle_));
  handle_ = kInvalidHandle;
}

}  // namespace orvanta
