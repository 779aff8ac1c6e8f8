// Asks one server for the time and prints what the client measured:
//   sntp_probe HOST [PORT]  ->  stratum=N offset=S delay=S   (exit 0)
//                              error=CODE                    (exit 1)
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/host_resolver.h"
#include "platform/last_error.h"
#include "platform/network_session.h"
#include "sync/sntp_client.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  orvanta::NetworkSession network;
  orvanta::SntpClient client(orvanta::RealClock(), orvanta::RealResolver());
  orvanta::SntpReply reply;
  if (!client.Query(argv[1], argc > 2 ? std::atoi(argv[2]) : orvanta::kNtpPort, reply)) {
    std::printf("error=%lu\n", static_cast<unsigned long>(orvanta::LastError()));
    return 1;
  }
  std::printf("stratum=%d offset=%.6f delay=%.6f\n", static_cast<int>(reply.stratum), reply.offset, reply.delay);
  return 0;
}
