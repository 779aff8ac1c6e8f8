#include "sync/nts/key_exchange.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <memory>

#include "platform/last_error.h"
#include "platform/system_roots.h"
#include "platform/tcp_connection.h"
#include "platform/udp_socket.h"
#include "sync/nts/ke_records.h"
#include "sync/sntp_client.h"
#include "sync/sntp_errors.h"

namespace orvanta {

namespace {

struct ContextFree {
  void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SessionFree {
  void operator()(SSL* session) const { SSL_free(session); }
};
using TlsContext = std::unique_ptr<SSL_CTX, ContextFree>;
using TlsSession = std::unique_ptr<SSL, SessionFree>;

constexpr unsigned char kAlpn[] = "\x07ntske/1";
constexpr std::size_t kAlpnSize = sizeof kAlpn - 1;
constexpr char kExporterLabel[] = "EXPORTER-network-time-security";

bool Fail(uint32_t code) {
  SetLastError(code);
  return false;
}

// The system's roots (or the library's default locations for them), then
// the extra anchors of the settings.
bool LoadTrust(SSL_CTX* context, const std::string& trustFile) {
  std::vector<std::string> roots;
  if (SystemRootCertificates(roots)) {
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    for (const std::string& der : roots) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
      X509* certificate = d2i_X509(nullptr, &bytes, static_cast<long>(der.size()));
      if (certificate == nullptr) continue;  // one the library cannot read trusts nothing
      X509_STORE_add_cert(store, certificate);
      X509_free(certificate);
    }
  } else {
    SSL_CTX_set_default_verify_paths(context);
  }
  return trustFile.empty() || SSL_CTX_load_verify_locations(context, trustFile.c_str(), nullptr) == 1;
}

// OpenSSL's verification against the roots loaded; when that fails, the
// system's own engine, which may know (or fetch) a root not yet at hand.
// Both check the name or address the certificate is issued to.
int VerifyServer(X509_STORE_CTX* store, void* host) {
  if (X509_verify_cert(store) == 1) return 1;
  std::vector<std::string> chain;
  const auto append = [&chain](X509* certificate) {
    unsigned char* der = nullptr;
    const int size = i2d_X509(certificate, &der);
    if (size > 0) chain.emplace_back(reinterpret_cast<const char*>(der), static_cast<std::size_t>(size));
    OPENSSL_free(der);
  };
  append(X509_STORE_CTX_get0_cert(store));
  STACK_OF(X509)* sent = X509_STORE_CTX_get0_untrusted(store);
  for (int i = 0; i < sk_X509_num(sent); ++i) append(sk_X509_value(sent, i));
  if (!SystemTrustsServer(chain, *static_cast<const std::string*>(host))) return 0;
  X509_STORE_CTX_set_error(store, X509_V_OK);
  return 1;
}

// The name or address the certificate must be issued to, also sent as SNI
// when it is a name.
bool ExpectPeer(SSL* session, const std::string& host) {
  uint32_t ignored = 0;
  if (UdpSocket::ParseDottedQuad(host.c_str(), ignored)) {
    return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session), host.c_str()) == 1;
  }
  return SSL_set_tlsext_host_name(session, host.c_str()) == 1 && SSL_set1_host(session, host.c_str()) == 1;
}

// Reads until the answer is complete, the server closes, or it grows too large.
uint32_t ReadAnswer(SSL* session, NtsKeAnswer& answer) {
  std::vector<uint8_t> received;
  uint8_t chunk[4096];
  for (;;) {
    const int read = SSL_read(session, chunk, sizeof chunk);
    if (read <= 0) return error::kNtsKeMalformed;  // closed or broken before the end of the message
    received.insert(received.end(), chunk, chunk + read);
    const uint32_t code = ParseNtsKeAnswer(received.data(), received.size(), answer);
    if (code != kNtsKeIncomplete) return code;
    if (received.size() > kNtsMaxKeAnswer) return error::kNtsKeMalformed;
  }
}

bool ExportKey(SSL* session, uint8_t direction, uint8_t* key) {
  const unsigned char context[] = {kNtsProtocolNtpV4 >> 8, kNtsProtocolNtpV4 & 0xFF, 0, kNtsAeadAesSivCmac256,
                                   direction};
  return SSL_export_keying_material(session, key, kSivKeySize, kExporterLabel, sizeof kExporterLabel - 1, context,
                                    sizeof context, 1) == 1;
}

}  // namespace

bool RunNtsKeyExchange(const NtsKeTarget& target, HostResolver& resolver, NtsAssociation& association,
                       bool& addressKnown, uint32_t& address) {
  addressKnown = UdpSocket::ParseDottedQuad(target.host.c_str(), address) ||
                 resolver.Resolve(target.host.c_str(), address);
  if (!addressKnown) return false;

  const TlsContext context(SSL_CTX_new(TLS_client_method()));
  if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_3_VERSION) != 1) {
    return Fail(error::kNtsNoCrypto);
  }
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(context.get(), VerifyServer, const_cast<std::string*>(&target.host));
  if (!LoadTrust(context.get(), target.trustFile)) return Fail(error::kNtsBadTrustFile);
  const TlsSession session(SSL_new(context.get()));
  if (!session || SSL_set_alpn_protos(session.get(), kAlpn, kAlpnSize) != 0 || !ExpectPeer(session.get(), target.host)) {
    return Fail(error::kNtsNoCrypto);
  }

  TcpConnection connection;
  if (!connection.Connect(address, target.port, kNtsKeTimeoutMs)) return false;
  if (SSL_set_fd(session.get(), connection.NativeHandle()) != 1) return Fail(error::kNtsNoCrypto);
  if (SSL_connect(session.get()) != 1) {
    const bool untrusted = SSL_get_verify_result(session.get()) != X509_V_OK;
    return Fail(untrusted ? error::kNtsCertificateNotTrusted : error::kNtsTlsFailed);
  }
  const unsigned char* protocol = nullptr;
  unsigned int protocolSize = 0;
  SSL_get0_alpn_selected(session.get(), &protocol, &protocolSize);
  if (protocolSize != kAlpnSize - 1 || std::memcmp(protocol, kAlpn + 1, protocolSize) != 0) {
    return Fail(error::kNtsTlsFailed);
  }

  const std::vector<uint8_t> request = NtsKeRequest();
  if (SSL_write(session.get(), request.data(), static_cast<int>(request.size())) != static_cast<int>(request.size())) {
    return Fail(error::kNtsTlsFailed);
  }
  NtsKeAnswer answer;
  const uint32_t code = ReadAnswer(session.get(), answer);
  if (code != 0) return Fail(code);
  if (!ExportKey(session.get(), 0, association.clientKey) || !ExportKey(session.get(), 1, association.serverKey)) {
    return Fail(error::kNtsNoCrypto);
  }
  SSL_shutdown(session.get());  // a courtesy; the answer is complete either way

  association.ntpHost = answer.server.empty() ? target.host : answer.server;
  association.ntpPort = answer.port != 0 ? answer.port : static_cast<uint16_t>(kNtpPort);
  association.cookies = std::move(answer.cookies);
  return true;
}

}  // namespace orvanta
