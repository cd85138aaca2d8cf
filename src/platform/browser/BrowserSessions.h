#pragma once

// The addresses shown by the open browser windows of the current user. Linux
// has no shared list of browser windows, so the running browsers' own live
// session files stand in for it.

#include <filesystem>
#include <string>
#include <vector>

namespace quillo::browser {

struct OpenTab {
  std::string browser;  // "Firefox", "Chromium" or "Google Chrome"
  std::string profile;  // the profile's folder
  std::string url;      // UTF-8 as the browser stored it
};

// Every open tab of every open window of every running browser found under
// home, in order: the Firefox family, then Chromium, then Google Chrome;
// windows in the browser's own order, tabs in window order. A session file that
// cannot be read is passed over; throws quillo::Error when at least one
// browser is running but none of the running browsers' sessions could be read.
std::vector<OpenTab> ListOpenTabs(const std::filesystem::path& home);

// The same for the user's home folder ($HOME, else the password database).
std::vector<OpenTab> ListOpenTabs();

}  // namespace quillo::browser
