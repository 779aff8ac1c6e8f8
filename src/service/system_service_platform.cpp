#include "service/system_service_platform.h"

#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/service_side.h"

namespace orvanta {

namespace {

class RealServicePlatform final : public ServicePlatform {
 public:
  bool RegisterHandler(const char* serviceName) override { return RegisterServiceControlHandler(serviceName); }
  bool SendStatus(const ServiceStatus& status) override { return SendServiceStatus(status); }
  bool StartThread(std::function<void()> body) override {
    try {
      std::thread(std::move(body)).detach();  // ends with the process, wherever it stands
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  void Sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

ServicePlatform& SystemServicePlatform() {
  static RealServicePlatform platform;
  return platform;
}

}  // namespace orvanta
