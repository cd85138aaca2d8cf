#pragma once

// The shell side of the program: opening an address in the user's browser,
// and the COM library's start and end on Windows.

#include <cstdint>
#include <string_view>

namespace quillo {

// COM start for the main thread at program start, release at the end.
// Nothing to do where there is no COM.
void InfoStartup();
void InfoCleanup();

// The window that owns what LaunchTarget opens (a native window handle).
void SetLaunchOwner(std::uintptr_t nativeWindow);

// Asks the desktop to open target (CP932) with its default action. Never
// reports a failure: if nothing can open it, nothing happens.
void LaunchTarget(std::string_view target, std::string_view parameters);

}  // namespace quillo
