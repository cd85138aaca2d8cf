#pragma once

// The profiles of a Chromium-family browser and whether it runs.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::browser {

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

// The browser that owns the user data folder runs (per system: the
// "SingletonLock" link names a live process on this machine on Linux, the
// "lockfile" is held open on Windows).
bool IsChromiumRunning(const std::filesystem::path& userDataDir);

}  // namespace quillo::browser
