#include <winsock.h>

#include "platform/last_error.h"
#include "platform/udp_socket.h"

namespace orvanta {

namespace {

SOCKET Handle(std::uintptr_t handle) { return static_cast<SOCKET>(handle); }

// Winsock's code of the call that just failed, as the last-error value.
void CaptureSocketError() { SetLastError(static_cast<uint32_t>(WSAGetLastError())); }

}  // namespace

UdpSocket::UdpSocket() {
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) {
    CaptureSocketError();
    return;
  }
  handle_ = static_cast<std::uintptr_t>(s);
}

bool UdpSocket::ParseDottedQuad(const char* host, uint32_t& address) {
  const unsigned long parsed = inet_addr(host);
  if (parsed == INADDR_NONE) return false;
  address = static_cast<uint32_t>(parsed);
  return true;
}

bool UdpSocket::Connect(uint32_t address, uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  if (connect(Handle(handle_), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    CaptureSocketError();
    return false;
  }
  return true;
}

bool UdpSocket::Send(const void* data, std::size_t length) {
  if (send(Handle(handle_), static_cast<const char*>(data), static_cast<int>(length), 0) == SOCKET_ERROR) {
    CaptureSocketError();
    return false;
  }
  return true;
}

bool UdpSocket::WaitReadable(bool& readable, uint32_t timeoutMs) {
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(Handle(handle_), &readSet);
  timeval limit{};
  limit.tv_sec = static_cast<long>(timeoutMs / 1000);
  limit.tv_usec = static_cast<long>(timeoutMs % 1000 * 1000);
  const int ready = select(0, &readSet, nullptr, nullptr, &limit);
  if (ready == SOCKET_ERROR) {
    CaptureSocketError();
    return false;
  }
  readable = ready != 0;
  return true;
}

int UdpSocket::Receive(void* buffer, std::size_t length) {
  // A datagram longer than the buffer fails here with WSAEMSGSIZE (10040);
  // an ICMP "port unreachable" for our request with WSAECONNRESET (10054).
  const int received = recv(Handle(handle_), static_cast<char*>(buffer), static_cast<int>(length), 0);
  if (received == SOCKET_ERROR) {
    CaptureSocketError();
    return kSocketError;
  }
  return received;
}

void UdpSocket::Close() {
  if (!IsOpen()) return;
  LastErrorKeeper keep;
  closesocket(Handle(handle_));
  handle_ = kInvalidHandle;
}

}  // namespace orvanta
