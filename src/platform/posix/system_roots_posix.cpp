#include "platform/system_roots.h"

namespace orvanta {

bool SystemRootCertificates(std::vector<std::string>& der) {
  der.clear();
  return false;
}

bool SystemTrustsServer(const std::vector<std::string>&, const std::string&) { return false; }

}  // namespace orvanta
