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

}  // namespace orvanta
