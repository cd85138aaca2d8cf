#pragma once

// The TLS side of a TestServer, with OpenSSL (Linux): TLS 1.2 or later with
// the given certificate chain and key (PEM files).

#include <memory>
#include <string>

#include "support/LoopbackSite.h"

namespace quillo::testing {

std::shared_ptr<ServerTls> MakeServerTls(const std::string& chainFile, const std::string& keyFile);

}  // namespace quillo::testing
