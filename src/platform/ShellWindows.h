#pragma once

#include "base/ShellApi.h"

namespace quillo::shell {

// This platform's window list: the shell's on Windows, the running
// browsers' sessions on Linux.
ShellApi& SystemShell();

}  // namespace quillo::shell
