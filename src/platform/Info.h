#pragma once

// The shell side of the program: opening an address in the user's browser,
// and the COM library's start and end on Windows.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillo {

// COM start for the main thread at program start, release at the end.
// Nothing to do where there is no COM.
void InfoStartup();
void InfoCleanup();

// The window that owns what LaunchTarget opens (a native window handle).
void SetLaunchOwner(std::uintptr_t nativeWindow);

// Asks the desktop to open target (CP932) with its default action. Never
// reports a failure: if nothing can open it, nothing happens. On Windows the
// shell gets parameters and LaunchDirectory(target) as its working folder;
// on Linux target goes to xdg-open as its one argument, started detached and
// without a shell, and parameters are not used (xdg-open takes none).
void LaunchTarget(std::string_view target, std::string_view parameters);

// The directory part of target taken as a file name: everything up to and
// including the last "\" or ":" that is not the second byte of a CP932
// double-byte character ("http:" for "http://host/lite/"); empty when there
// is none. Only the part before a zero byte counts.
std::string LaunchDirectory(std::string_view target);

}  // namespace quillo
