#include "platform/system_roots.h"

#include <windows.h>
#include <wincrypt.h>

namespace orvanta {

bool SystemRootCertificates(std::vector<std::string>& der) {
  der.clear();
  const HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
  if (store == nullptr) return true;  // a store that cannot be opened trusts nothing
  for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store, nullptr); certificate != nullptr;
       certificate = CertEnumCertificatesInStore(store, certificate)) {
    der.emplace_back(reinterpret_cast<const char*>(certificate->pbCertEncoded), certificate->cbCertEncoded);
  }
  CertCloseStore(store, 0);
  return true;
}

}  // namespace orvanta
