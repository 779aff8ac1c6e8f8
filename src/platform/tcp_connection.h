// An owned IPv4 stream connection, for the TLS of the NTS key exchange:
// connected within a time limit, and with that same limit on every send
// and receive, so a server that stops talking cannot hold a pass. Failing
// calls leave their code in the last-error value (Winsock's numbering);
// closing never changes it.
#pragma once

#include <cstdint>

namespace orvanta {

class TcpConnection {
 public:
  TcpConnection() = default;
  ~TcpConnection() { Close(); }
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Connects to an IPv4 address (network byte order) and port; 10060 when
  // that takes longer than timeoutMs.
  bool Connect(uint32_t address, uint16_t port, uint32_t timeoutMs);

  // The descriptor (a SOCKET on Windows) for the TLS library to read and
  // write; -1 before a connection.
  int NativeHandle() const { return static_cast<int>(handle_); }

  void Close();

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;
};

}  // namespace orvanta
