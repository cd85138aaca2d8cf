#pragma once

#include "base/SocketApi.h"

namespace quillo::net {

// The system's sockets: Winsock on Windows, POSIX sockets elsewhere.
SocketApi& SystemSockets();

}  // namespace quillo::net
