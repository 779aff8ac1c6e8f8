#include "support/scripted_sntp_server.h"

#include <algorithm>

#include "sync/ntp_timestamp.h"

#ifdef _WIN32
#include <winsock.h>
using NativeSocket = SOCKET;
using AddressLength = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
using AddressLength = socklen_t;
inline int closesocket(NativeSocket s) { return close(s); }
#endif

namespace orvanta::test {

ScriptedSntpServer::ScriptedSntpServer() : socket_(static_cast<std::uintptr_t>(socket(AF_INET, SOCK_DGRAM, 0))) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  AddressLength length = sizeof local;
  const auto s = static_cast<NativeSocket>(socket_);
  if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return;  // port 0: every query of the test fails
  }
  port_ = ntohs(local.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedSntpServer::~ScriptedSntpServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  closesocket(static_cast<NativeSocket>(socket_));
}

void ScriptedSntpServer::Serve() {
  const auto s = static_cast<NativeSocket>(socket_);
  while (!stopping_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{0, 20000};  // how soon a stop is seen
    if (select(static_cast<int>(s) + 1, &readable, nullptr, nullptr, &wait) <= 0) continue;
    Bytes request(512);
    sockaddr_in client{};
    AddressLength length = sizeof client;
    const int received = recvfrom(s, reinterpret_cast<char*>(request.data()), static_cast<int>(request.size()), 0,
                                  reinterpret_cast<sockaddr*>(&client), &length);
    // An error is the echo of an earlier answer to a client that had gone.
    if (received < 0) continue;
    request.resize(static_cast<std::size_t>(received));
    ServerScript script;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      datagrams_.push_back(request);
      script = script_;
    }
    if (script.silent) continue;
    request.resize(48);
    Bytes reply(48, 0);
    reply[0] = 0x24;  // leap 0, version 4, mode 4 (server)
    reply[1] = 2;     // stratum
    std::copy(request.begin() + 40, request.end(), reply.begin() + 24);  // originate
    const uint64_t sent = NtpTimestamp::FromNetwork(&request[40]).Value();
    NtpTimestamp::FromValue(sent + script.receiveAfter).ToNetwork(&reply[32]);
    NtpTimestamp::FromValue(sent + script.transmitAfter).ToNetwork(&reply[40]);
    if (script.spoil != nullptr) script.spoil(reply);
    sendto(s, reinterpret_cast<const char*>(reply.data()), static_cast<int>(reply.size()), 0,
           reinterpret_cast<const sockaddr*>(&client), length);
  }
}

}  // namespace orvanta::test
