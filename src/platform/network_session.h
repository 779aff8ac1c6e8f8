// Process-wide start and end of the network layer: Winsock version 1.1 on
// Windows (and only 1.1), nothing elsewhere.
#pragma once

namespace orvanta {

class NetworkSession {
 public:
  NetworkSession();
  ~NetworkSession();
  NetworkSession(const NetworkSession&) = delete;
  NetworkSession& operator=(const NetworkSession&) = delete;

  bool Started() const { return started_; }

 private:
  bool started_ = false;
};

}  // namespace orvanta
