#include "platform/network_session.h"

#include <winsock.h>

namespace orvanta {

NetworkSession::NetworkSession() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return;
  if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
    WSACleanup();
    return;
  }
  started_ = true;
}

NetworkSession::~NetworkSession() {
  if (started_) WSACleanup();
}

}  // namespace orvanta
