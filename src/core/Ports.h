#pragma once

// Everything the core calls out through, as a front end wires it once at
// start-up: the system's implementations in the programs, a test's own in
// the tests.

#include "base/Launcher.h"
#include "base/ShellApi.h"
#include "base/SocketApi.h"
#include "base/TlsApi.h"

namespace quillo {

struct Ports {
  net::SocketApi& sockets;
  net::TlsApi& tls;
  shell::ShellApi& shell;
  Launcher& launcher;
};

}  // namespace quillo
