#include "platform/system_roots.h"

#include <windows.h>
#include <wincrypt.h>

#include <memory>

namespace orvanta {

namespace {

struct StoreClose {
  void operator()(void* store) const { CertCloseStore(store, 0); }
};
struct CertificateFree {
  void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
};
struct ChainFree {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};

std::wstring Wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], size);
  wide.resize(static_cast<std::size_t>(size) - 1);
  return wide;
}

}  // namespace

bool SystemRootCertificates(std::vector<std::string>& der) {
  der.clear();
  const std::unique_ptr<void, StoreClose> store(CertOpenSystemStoreW(0, L"ROOT"));
  if (!store) return true;  // a store that cannot be opened trusts nothing
  // Each step frees the certificate before; the last returns none.
  for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store.get(), nullptr); certificate != nullptr;
       certificate = CertEnumCertificatesInStore(store.get(), certificate)) {
    der.emplace_back(reinterpret_cast<const char*>(certificate->pbCertEncoded), certificate->cbCertEncoded);
  }
  return true;
}

bool SystemTrustsServer(const std::vector<std::string>& chain, const std::string& host) {
  if (chain.empty()) return false;
  const std::unique_ptr<void, StoreClose> sent(
      CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!sent) return false;
  for (const std::string& der : chain) {
    CertAddEncodedCertificateToStore(sent.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                     static_cast<DWORD>(der.size()), CERT_STORE_ADD_USE_EXISTING, nullptr);
  }
  const std::unique_ptr<const CERT_CONTEXT, CertificateFree> leaf(CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(chain[0].data()), static_cast<DWORD>(chain[0].size())));
  if (!leaf) return false;

  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  const CERT_CHAIN_CONTEXT* built = nullptr;
  if (!CertGetCertificateChain(nullptr, leaf.get(), nullptr, sent.get(), &para, 0, nullptr, &built)) return false;
  const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> owned(built);
  // Any flaw of the chain itself (no way to a trusted root, a certificate
  // out of its time, a wrong usage) refuses it before the policy is asked:
  // not every implementation's SSL policy looks at all of them.
  if (built->TrustStatus.dwErrorStatus != CERT_TRUST_NO_ERROR) return false;

  std::wstring name = Wide(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA server{};
  server.cbSize = sizeof server;
  server.dwAuthType = AUTHTYPE_SERVER;
  server.pwszServerName = &name[0];
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &server;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, built, &policy, &status) && status.dwError == 0;
}

}  // namespace orvanta
