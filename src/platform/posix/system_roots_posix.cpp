#include "platform/system_roots.h"

namespace orvanta {

bool SystemRootCertificates(std::vector<std::string>& der) {
  der.clear();
  return false;
}

}  // namespace orvanta
