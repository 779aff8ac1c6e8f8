// A loopback SNTP server for tests: it listens on 127.0.0.1 at an ephemeral
// port on a thread of its own, records every datagram it gets, and answers
// each with an honest reply that its script may spoil, or not at all.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace orvanta::test {

using Bytes = std::vector<uint8_t>;

struct ServerScript {
  // Edits the honest 48-byte reply (leap 0, version 4, mode 4, stratum 2)
  // before it goes out: the fault under test.
  void (*spoil)(Bytes& reply) = nullptr;
  // The server's receive and transmit times: the request's transmit time
  // plus these (2^-32 s, modulo 2^64). Equal, so that a clock standing still
  // in a test sees a round trip of zero, not a negative one.
  uint64_t receiveAfter = 0x40000000;  // 0.25 s
  uint64_t transmitAfter = 0x40000000;
  bool silent = false;
};

class ScriptedSntpServer {
 public:
  ScriptedSntpServer();
  ~ScriptedSntpServer();

  uint16_t Port() const { return port_; }
  // How later requests are answered.
  void Follow(const ServerScript& script) { std::lock_guard<std::mutex> lock(mutex_); script_ = script; }
  // Every datagram received so far, in order.
  std::vector<Bytes> Datagrams() const { std::lock_guard<std::mutex> lock(mutex_); return datagrams_; }

 private:
  void Serve();

  std::uintptr_t socket_;
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  ServerScript script_;
  std::vector<Bytes> datagrams_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace orvanta::test
