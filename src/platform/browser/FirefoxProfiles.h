#pragma once

// Finding the profiles of the Firefox family (Firefox and Firefox ESR share
// them) and telling which of them a running browser has open.

#include <filesystem>
#include <string_view>
#include <vector>

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

// A live process on this machine holds the profile's lock (per system: the
// "lock" link or an fcntl lock on ".parentlock" on Linux, "parent.lock"
// opened without sharing on Windows).
bool IsFirefoxProfileRunning(const std::filesystem::path& profileDir);

}  // namespace quillo::browser
