#pragma once

// Opening an address in the user's browser through the launcher port.

#include <string>
#include <string_view>

#include "base/Launcher.h"

namespace quillo {

// Asks launcher to open target with parameters and LaunchDirectory(target)
// as its working folder. Never reports a failure: if nothing can open it,
// nothing happens.
void LaunchTarget(Launcher& launcher, std::string_view target, std::string_view parameters);

// The directory part of target taken as a file name: everything up to and
// including the last "\" or ":" that is not the second byte of a CP932
// double-byte character ("http:" for "http://host/lite/"); empty when there
// is none. Only the part before a zero byte counts.
std::string LaunchDirectory(std::string_view target);

}  // namespace quillo
