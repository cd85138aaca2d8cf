#pragma once

// The shell side of the program: opening an address in the user's browser,
// and the COM library's start and end on Windows.

#include <cstdint>

#include "base/Launcher.h"

namespace quillo {

// COM start for the main thread at program start, release at the end.
// Nothing to do where there is no COM.
void InfoStartup();
void InfoCleanup();

// The window that owns what the system launcher opens (a native window
// handle).
void SetLaunchOwner(std::uintptr_t nativeWindow);

// The system's launcher. On Windows the shell gets target, parameters and
// directory (ShellExecute, default verb, SW_SHOW); on Linux target goes to
// xdg-open as its one argument, started detached and without a shell, and
// parameters and directory are not used (xdg-open takes none).
Launcher& SystemLauncher();

}  // namespace quillo
