#pragma once

// The addresses shown by the open browser windows of the current user, read
// from the running browsers' own live session files. Linux has no shared list
// of browser windows, and the Windows shell's lists File Explorer only, so
// these stand in for it (after it, on Windows).

#include <filesystem>
#include <string>
#include <vector>

namespace quillo::browser {

struct OpenTab {
  std::string browser;  // "Firefox", "Google Chrome", "Microsoft Edge", ...
  std::string profile;  // the profile's folder, UTF-8
  std::string url;      // UTF-8 as the browser stored it
};

struct ChromiumUserData {
  std::string browser;           // as shown in OpenTab::browser
  std::filesystem::path folder;  // the browser's user data folder
};

// Where a user's browsers keep their profiles, in the order they are read.
struct BrowserFolders {
  std::vector<std::filesystem::path> firefoxRoots;  // each holding a profiles.ini
  std::vector<ChromiumUserData> chromium;
};

// Every open tab of every open window of every running browser found in
// folders, in order: the Firefox family, then the Chromium family in the
// order given; windows in the browser's own order, tabs in window order. A
// session file that cannot be read is passed over; throws quillo::Error when
// at least one browser is running but none of the running browsers' sessions
// could be read.
std::vector<OpenTab> ListOpenTabs(const BrowserFolders& folders);

// The same for the current user's folders.
std::vector<OpenTab> ListOpenTabs();

// This system's folders of the current user (SystemLinux.cpp,
// SystemWindows.cpp). Throws quillo::Error when they are unknown.
BrowserFolders UserBrowserFolders();

// Linux: the folders below the home folder home.
BrowserFolders BrowserFoldersUnder(const std::filesystem::path& home);

}  // namespace quillo::browser
