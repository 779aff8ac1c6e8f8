// The certificates the system trusts as roots, for checking an NTS server.
#pragma once

#include <string>
#include <vector>

namespace orvanta {

// Fills der with the DER encoding of each root certificate of the system's
// own store (Windows: the "ROOT" store). False where the system has no such
// store of its own: the TLS library's default locations are the system's
// trust there (Linux: /etc/ssl/certs).
bool SystemRootCertificates(std::vector<std::string>& der);

// Whether the system's own certificate engine accepts chain (the server's
// certificate first, then the intermediates it sent, each in DER) for a TLS
// server named host. Windows keeps few roots on disk and fetches the others
// when its engine first meets them; this asks that engine (and lets it fetch)
// when the roots at hand did not verify a server. False where there is no
// such engine.
bool SystemTrustsServer(const std::vector<std::string>& chain, const std::string& host);

}  // namespace orvanta
