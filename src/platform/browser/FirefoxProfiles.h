#pragma once

// Finding the profiles of the Firefox family (Firefox and Firefox ESR share
// them) and telling which of them a running browser has open.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/browser/BrowserSessions.h"

namespace quillo::browser {

// The existing profile folders listed by the profiles.ini files of roots,
// canonical and each once: roots in their order, in each the installations'
// default profiles first, then the [ProfileN] sections by N.
std::vector<std::filesystem::path> FindFirefoxProfiles(
    const std::vector<std::filesystem::path>& roots);

// The profile paths that the text (UTF-8) of root's profiles.ini lists, in
// the order above, resolved against root unless absolute ("/" separates
// relative ones on Windows too); they need not exist.
std::vector<std::filesystem::path> ListedFirefoxProfiles(std::string_view profilesIni,
                                                         const std::filesystem::path& root);

// A live process on this machine holds the profile's lock (per system: on
// Linux the "lock" link names one, or ".parentlock" bears an fcntl lock,
// which alone counts in a flatpak; on Windows "parent.lock" is held open
// without sharing).
bool IsFirefoxProfileRunning(const std::filesystem::path& profileDir,
                             const std::optional<Flatpak>& flatpak);

}  // namespace quillo::browser
