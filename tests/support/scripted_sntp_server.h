// A loopback SNTP server for tests: it listens on 127.0.0.1 at an ephemeral
// port on a thread of its own, records every datagram it gets, and answers
// each one as its script says, honestly or with one deliberate fault.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace orvanta::test {

enum class ServerScript {
  kHonest,          // a good answer
  kSilent,          // no answer
  kLate,            // a good answer, after lateMs
  kShort,           // cut to 47 bytes (or the reply length set)
  kLong,            // 69 bytes, an over-long authenticator (or the reply length set)
  kWrongOriginate,  // originate differs from the request's transmit time in its lowest bit
  kWrongMode,       // mode 5 (broadcast) instead of 4 (server)
  kLeapAlarm,       // leap indicator 3
  kKissOfDeath,     // stratum 0, leap indicator 3, reference "RATE"
  kStratum16,       // stratum 16
  kZeroReceive,     // receive timestamp 0
  kZeroTransmit,    // transmit timestamp 0
  kGarbage,         // a line of text, not an NTP message
};

// A reply length that leaves each script its own (see ServerScript).
constexpr std::size_t kScriptsOwnLength = static_cast<std::size_t>(-1);

constexpr char kGarbageText[] = "GET /time HTTP/1.0\r\nHost: this is no NTP server at all\r\n\r\n";

// How the server answers; every field may change between queries.
struct ServerBehaviour {
  ServerScript script = ServerScript::kHonest;
  // The server's receive and transmit timestamps: the request's transmit
  // timestamp plus these, as whole 64-bit NTP values (2^-32 s, modulo 2^64).
  // Equal by default, so that a clock standing still in a test still sees
  // a round trip of zero, not a negative one.
  uint64_t receiveAfterRequest = 0x40000000;   // 0.25 s
  uint64_t transmitAfterRequest = 0x40000000;
  uint8_t stratum = 2;
  uint8_t leapIndicator = 0;
  // Length of every answer whatever the script (cut or padded, 0 included).
  std::size_t replyLength = kScriptsOwnLength;
  uint32_t lateMs = 1000;
};

class ScriptedSntpServer {
 public:
  explicit ScriptedSntpServer(ServerScript script = ServerScript::kHonest);
  ~ScriptedSntpServer();
  ScriptedSntpServer(const ScriptedSntpServer&) = delete;
  ScriptedSntpServer& operator=(const ScriptedSntpServer&) = delete;

  // Bound and serving.
  bool IsRunning() const { return thread_.joinable(); }
  uint16_t Port() const { return port_; }

  // Changes how later requests are answered: edit(behaviour).
  template <typename Edit>
  void Change(Edit edit) {
    std::lock_guard<std::mutex> lock(mutex_);
    edit(behaviour_);
  }

  // Every datagram received so far, in order.
  std::vector<std::vector<uint8_t>> Datagrams() const;
  // Waits until count datagrams were received (true), or limit passed.
  bool WaitForDatagrams(std::size_t count, std::chrono::milliseconds limit) const;

 private:
  void Serve();
  static std::vector<uint8_t> Compose(const std::vector<uint8_t>& request, const ServerBehaviour& behaviour);

  std::uintptr_t socket_;
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  ServerBehaviour behaviour_;
  std::vector<std::vector<uint8_t>> datagrams_;
  bool stopping_ = false;
  std::thread thread_;
};

// A loopback port on which nothing listens (bound once, then released).
uint16_t UnusedLoopbackPort();

// Whether the ICMP "port unreachable" answer to a request sent on a
// connected datagram socket reaches the receive as an error, as on Linux and
// Windows. Wine loses it: the wait for a reply simply runs out.
bool PortUnreachableReachesTheReceive();

}  // namespace orvanta::test
