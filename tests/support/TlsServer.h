#pragma once

// The TLS side of a TestServer, with OpenSSL (Linux): TLS 1.2 or later with
// the given certificate chain and key (PEM files).

#include <atomic>
#include <memory>
#include <string>

#include "support/LoopbackSite.h"

namespace quillo::testing {

// The handshakes a server completed, and how many of them resumed a session.
struct TlsCounts {
  std::atomic<int> handshakes{0};
  std::atomic<int> resumed{0};
};

std::shared_ptr<ServerTls> MakeServerTls(const std::string& chainFile, const std::string& keyFile,
                                         std::shared_ptr<TlsCounts> counts = nullptr);

}  // namespace quillo::testing
