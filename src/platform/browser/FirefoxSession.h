#pragma once

// The open tabs recorded in a Firefox profile's live session store.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::browser {

// The current address of each open tab in a session store's JSON text: windows
// in file order, tabs in window order; a tab without history is passed over.
// Closed windows and the previous session are never looked at. Throws
// quillo::Error saying what was wrong.
std::vector<std::string> FirefoxSessionUrls(std::string_view json);

// The same for the profile at profileDir, read from the live session file or,
// when that cannot be read, its backup. Throws quillo::Error naming the file.
std::vector<std::string> ReadFirefoxSession(const std::filesystem::path& profileDir);

}  // namespace quillo::browser
