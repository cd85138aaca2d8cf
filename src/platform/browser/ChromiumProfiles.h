#pragma once

// The browsers of the Chromium family, their profiles and whether they run.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::browser {

struct ChromiumBrowser {
  std::string_view name;         // as shown in OpenTab::browser
  std::string_view userDataDir;  // below the home folder
};

inline constexpr ChromiumBrowser kChromiumBrowsers[] = {
    {"Chromium", ".config/chromium"},
    {"Google Chrome", ".config/google-chrome"},
};

// The profile folder names that the user data folder's "Local State" lists,
// sorted; "Default" when it lists none or cannot be read.
std::vector<std::string> ChromiumProfileNames(const std::filesystem::path& userDataDir);

// The same from the text of a "Local State" file, which may be anything.
std::vector<std::string> ProfileNamesInLocalState(std::string_view localState);

// The "SingletonLock" link names this machine and a live process.
bool IsChromiumRunning(const std::filesystem::path& userDataDir);

}  // namespace quillo::browser
