#include "support/scripted_sntp_server.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <winsock.h>
using NativeSocket = SOCKET;
using AddressLength = int;
constexpr NativeSocket kNoSocket = INVALID_SOCKET;
inline void CloseNative(NativeSocket s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
using AddressLength = socklen_t;
constexpr NativeSocket kNoSocket = -1;
inline void CloseNative(NativeSocket s) { close(s); }
#endif

namespace orvanta::test {

namespace {

constexpr std::size_t kMessageSize = 48;
constexpr std::size_t kShortLength = 47;
constexpr std::size_t kLongLength = 69;
constexpr uint8_t kVersion4 = 4;
constexpr uint8_t kModeServer = 4;
constexpr uint8_t kModeBroadcast = 5;

NativeSocket Native(std::uintptr_t s) { return static_cast<NativeSocket>(s); }

// A bound loopback datagram socket, closed with the object.
class LoopbackSocket {
 public:
  LoopbackSocket() : socket_(socket(AF_INET, SOCK_DGRAM, 0)) {
    if (socket_ == kNoSocket) return;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    AddressLength length = sizeof local;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
      Reset();
      return;
    }
    port_ = ntohs(local.sin_port);
  }
  ~LoopbackSocket() { Reset(); }
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  uint16_t port() const { return port_; }
  // Hands the socket over to the caller, who closes it.
  std::uintptr_t Release() {
    const NativeSocket s = socket_;
    socket_ = kNoSocket;
    return static_cast<std::uintptr_t>(s);
  }

 private:
  void Reset() {
    if (socket_ != kNoSocket) CloseNative(socket_);
    socket_ = kNoSocket;
  }

  NativeSocket socket_;
  uint16_t port_ = 0;
};

bool WaitReadable(NativeSocket s, long microseconds) {
  fd_set readSet;
  FD_ZERO(&readSet);
  FD_SET(s, &readSet);
  timeval limit{};
  limit.tv_usec = microseconds;
  return select(static_cast<int>(s) + 1, &readSet, nullptr, nullptr, &limit) > 0;
}

void PutTimestamp(uint64_t value, uint8_t* bytes) {
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (56 - 8 * i));
}

uint64_t GetTimestamp(const uint8_t* bytes) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

ScriptedSntpServer::ScriptedSntpServer(ServerScript script) : socket_(static_cast<std::uintptr_t>(kNoSocket)) {
  behaviour_.script = script;
  LoopbackSocket bound;
  if (bound.port() == 0) return;
  port_ = bound.port();
  socket_ = bound.Release();
  thread_ = std::thread([this] { Serve(); });
}

ScriptedSntpServer::~ScriptedSntpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (Native(socket_) != kNoSocket) CloseNative(Native(socket_));
}

std::vector<std::vector<uint8_t>> ScriptedSntpServer::Datagrams() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return datagrams_;
}

bool ScriptedSntpServer::WaitForDatagrams(std::size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return datagrams_.size() >= count; });
}

void ScriptedSntpServer::Serve() {
  const NativeSocket s = Native(socket_);
  std::vector<uint8_t> buffer(65536);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
    }
    if (!WaitReadable(s, 20000)) continue;
    sockaddr_in client{};
    AddressLength clientLength = sizeof client;
    const int received = recvfrom(s, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0,
                                  reinterpret_cast<sockaddr*>(&client), &clientLength);
    // An error here is the echo of an earlier answer to a client that had
    // gone (port unreachable); the next datagram is what counts.
    if (received < 0) continue;

    ServerBehaviour behaviour;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      datagrams_.emplace_back(buffer.begin(), buffer.begin() + received);
      behaviour = behaviour_;
    }
    changed_.notify_all();

    if (behaviour.script == ServerScript::kSilent) continue;
    if (behaviour.script == ServerScript::kLate) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (changed_.wait_for(lock, std::chrono::milliseconds(behaviour.lateMs), [&] { return stopping_; })) return;
    }
    const std::vector<uint8_t> reply =
        Compose(std::vector<uint8_t>(buffer.begin(), buffer.begin() + received), behaviour);
    sendto(s, reinterpret_cast<const char*>(reply.data()), static_cast<int>(reply.size()), 0,
           reinterpret_cast<const sockaddr*>(&client), clientLength);
  }
}

std::vector<uint8_t> ScriptedSntpServer::Compose(const std::vector<uint8_t>& request, const ServerBehaviour& behaviour) {
  std::vector<uint8_t> reply;
  std::size_t length = kMessageSize;
  if (behaviour.script == ServerScript::kGarbage) {
    reply.assign(kGarbageText, kGarbageText + sizeof kGarbageText - 1);
    length = reply.size();
  } else {
    const uint64_t sent = request.size() >= kMessageSize ? GetTimestamp(request.data() + 40) : 0;
    const uint64_t receive = sent + behaviour.receiveAfterRequest;
    const uint64_t transmit = sent + behaviour.transmitAfterRequest;
    uint8_t leap = behaviour.leapIndicator;
    uint8_t mode = kModeServer;
    uint8_t stratum = behaviour.stratum;
    const char* reference = "LOCL";
    switch (behaviour.script) {
      case ServerScript::kLeapAlarm: leap = 3; break;
      case ServerScript::kWrongMode: mode = kModeBroadcast; break;
      case ServerScript::kKissOfDeath: leap = 3; stratum = 0; reference = "RATE"; break;
      case ServerScript::kStratum16: stratum = 16; break;
      case ServerScript::kShort: length = kShortLength; break;
      case ServerScript::kLong: length = kLongLength; break;
      default: break;
    }
    // Bytes past the message are an authenticator: key identifier, digest.
    reply.assign(std::max(kMessageSize, kLongLength) + 64, 0xD5);
    reply[0] = static_cast<uint8_t>(leap << 6 | kVersion4 << 3 | mode);
    reply[1] = stratum;
    reply[2] = 6;      // poll: 64 s
    reply[3] = 0xEC;   // precision: 2^-20 s
    std::fill(reply.begin() + 4, reply.begin() + 12, 0);
    reply[5] = 0x01;   // root delay, then root dispersion: a few ms each
    reply[9] = 0x02;
    std::memcpy(reply.data() + 12, reference, 4);
    PutTimestamp(receive - (uint64_t{16} << 32), reply.data() + 16);  // last set 16 s earlier
    PutTimestamp(sent, reply.data() + 24);
    if (behaviour.script == ServerScript::kWrongOriginate) reply[31] ^= 0x01;
    PutTimestamp(behaviour.script == ServerScript::kZeroReceive ? 0 : receive, reply.data() + 32);
    PutTimestamp(behaviour.script == ServerScript::kZeroTransmit ? 0 : transmit, reply.data() + 40);
    reply[48] = reply[49] = reply[50] = 0;
    reply[51] = 1;  // key identifier 1
  }
  if (behaviour.replyLength != kScriptsOwnLength) length = behaviour.replyLength;
  reply.resize(length, 0xD5);
  return reply;
}

uint16_t UnusedLoopbackPort() {
  LoopbackSocket probe;
  return probe.port();
}

bool PortUnreachableReachesTheReceive() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
#else
  return true;
#endif
}

}  // namespace orvanta::test
