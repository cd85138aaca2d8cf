#pragma once

#include "base/TlsApi.h"

namespace quillo::net {

// The system's TLS: Schannel on Windows, OpenSSL elsewhere.
TlsApi& SystemTls();

}  // namespace quillo::net
