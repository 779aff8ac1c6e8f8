// An owned IPv4 datagram socket: created with the object, closed with it.
// Every failing call leaves its code in the last-error value (the Winsock
// code on every platform); closing never changes that value.
#pragma once

#include <cstddef>
#include <cstdint>


namespace orvanta {

// What Receive answers when it fails.
constexpr int kSocketError = -1;

class UdpSocket {
 public:
  // socket(AF_INET, SOCK_DGRAM, 0). IsOpen() tells whether that succeeded.
  UdpSocket();
  ~UdpSocket() { Close(); }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  bool IsOpen() const { return handle_ != kInvalidHandle; }

  // Connects to an IPv4 address (network byte order) and port, so that sends
  // go there and only its datagrams are received.
  bool Connect(uint32_t address, uint16_t port);

  // The address of a dotted quad (network byte order), as inet_addr reads
  // it; false for anything else, which is a name for the resolver.
  static bool ParseDottedQuad(const char* host, uint32_t& address);

  // Sends one datagram.
  bool Send(const void* data, std::size_t length);

  // Waits up to timeoutMs for a datagram (or a pending error) to read.
  // False only when the wait itself failed; otherwise readable tells.
  bool WaitReadable(bool& readable, uint32_t timeoutMs);

  // Reads one datagram into buffer: its length (possibly 0), or kSocketError.
  // A datagram longer than length is consumed and refused with 10040.
  int Receive(void* buffer, std::size_t length);

  // Closes the socket if one is open; the last-error value stays as it was.
  void Close();

 private:
  // Holds a SOCKET on Windows and a file descriptor elsewhere; both invalid
  // values (INVALID_SOCKET, -1) convert to all bits set.
  static constexpr std::uintptr_t kInvalidHandle = ~std::uintptr_t{0};

  std::uintptr_t handle_ = kInvalidHandle;
};

}  // namespace orvanta
