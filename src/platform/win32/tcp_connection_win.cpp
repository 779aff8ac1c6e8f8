#include <winsock.h>

#include "platform/last_error.h"
#include "platform/tcp_connection.h"

namespace orvanta {

namespace {

SOCKET Handle(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

bool Fail() {
  SetLastError(static_cast<uint32_t>(WSAGetLastError()));
  return false;
}

// Waits for a non-blocking connect to end: writable when it succeeded, an
// exception when it failed, SO_ERROR saying why.
bool AwaitConnect(SOCKET s, uint32_t timeoutMs) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval limit{};
  limit.tv_sec = static_cast<long>(timeoutMs / 1000);
  limit.tv_usec = static_cast<long>(timeoutMs % 1000 * 1000);
  const int ready = select(0, nullptr, &writable, &failed, &limit);
  if (ready == SOCKET_ERROR) return Fail();
  if (ready == 0) {
    SetLastError(error::kWsaTimedOut);
    return false;
  }
  if (FD_ISSET(s, &writable)) return true;
  int failure = 0;
  int size = sizeof failure;
  getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &size);
  SetLastError(failure != 0 ? static_cast<uint32_t>(failure) : error::kWsaConnectionRefused);
  return false;
}

}  // namespace

bool TcpConnection::Connect(uint32_t address, uint16_t port, uint32_t timeoutMs) {
  Close();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return Fail();
  handle_ = static_cast<std::intptr_t>(s);
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return Fail();
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  if (connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return Fail();
    if (!AwaitConnect(s, timeoutMs)) return false;
  }
  // Blocking again, each send and receive bounded by the same limit.
  u_long blocking = 0;
  const DWORD limit = timeoutMs;
  if (ioctlsocket(s, FIONBIO, &blocking) != 0 ||
      setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit) != 0 ||
      setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit) != 0) {
    return Fail();
  }
  return true;
}

void TcpConnection::Close() {
  if (handle_ == kNone) return;
  LastErrorKeeper keep;
  closesocket(Handle(handle_));
  handle_ = kNone;
}

}  // namespace orvanta
