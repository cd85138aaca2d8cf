#pragma once

// The profiles of a Chromium-family browser and whether it runs.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/browser/BrowserSessions.h"

namespace quillo::browser {

// The profile folders of the user data folder to read: the folder itself
// when it holds a "Sessions" folder (Opera keeps its one profile there), then
// those that ChromiumProfileNames names.
std::vector<std::filesystem::path> ChromiumProfileFolders(const std::filesystem::path& userDataDir);

// The profile folder names of the user data folder's "Local State" that
// have open windows (see ProfileNamesInLocalState); "Default" when it cannot
// be read.
std::vector<std::string> ChromiumProfileNames(const std::filesystem::path& userDataDir);

// The same from the text of a "Local State" file, which may be anything:
// profile.last_active_profiles in its order (the profiles with open windows
// while the browser runs), each only when profile.info_cache lists it; where
// that key is missing, every info_cache profile, sorted; where neither lists
// one, "Default".
std::vector<std::string> ProfileNamesInLocalState(std::string_view localState);

// The browser that owns the user data folder runs (per system: on Linux the
// "SingletonLock" link names a live process on this machine, or, in a
// flatpak, names this machine while a sandbox of the flatpak's application
// runs; on Windows the "lockfile" is held open).
bool IsChromiumRunning(const std::filesystem::path& userDataDir,
                       const std::optional<Flatpak>& flatpak);

}  // namespace quillo::browser
