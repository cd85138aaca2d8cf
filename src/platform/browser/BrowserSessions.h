#pragma once

// The addresses shown by the open browser windows of the current user, read
// from the running browsers' own live session files. Linux has no shared list
// of browser windows, and the Windows shell's lists File Explorer only, so
// these stand in for it (after it, on Windows).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillo::browser {

struct OpenTab {
  std::string browser;  // "Firefox", "Google Chrome", "Microsoft Edge", ...
  std::string profile;  // the profile's folder, UTF-8
  std::string url;      // UTF-8 as the browser stored it
};

enum class BrowserFamily { Firefox, Chromium };

// A browser in a flatpak sandbox. Its process ids are those of a namespace of
// its own, so the ids its locks name mean nothing on the host.
struct Flatpak {
  std::string app;                  // the application id, "org.chromium.Chromium"
  std::filesystem::path instances;  // where the host lists running sandboxes
};

// One row of a system's table: where one browser keeps its profiles.
struct BrowserPlace {
  BrowserFamily family = BrowserFamily::Chromium;
  std::string browser;  // as shown in OpenTab::browser
  // Firefox: folders each holding a profiles.ini; the Chromium family: user
  // data folders.
  std::vector<std::filesystem::path> roots;
  std::optional<Flatpak> flatpak;  // Linux, for a browser installed as a flatpak
};

using BrowserPlaces = std::vector<BrowserPlace>;

// Every open tab of every open window of every running browser found in
// places, in their order; windows in the browser's own order, tabs in window
// order. A Firefox profile reached from two places is read once. A session
// file that cannot be read is passed over; throws quillo::Error when at
// least one browser is running but none of the running browsers' sessions
// could be read.
std::vector<OpenTab> ListOpenTabs(const BrowserPlaces& places);

// The same for the current user's places.
std::vector<OpenTab> ListOpenTabs();

// This system's table for the current user (SystemLinux.cpp,
// SystemWindows.cpp). Throws quillo::Error when the user's folders are
// unknown.
BrowserPlaces UserBrowserPlaces();

// Linux: the table below the home folder home, configHome standing for
// ~/.config and runtimeDir for $XDG_RUNTIME_DIR.
BrowserPlaces LinuxBrowserPlaces(const std::filesystem::path& home,
                                 const std::filesystem::path& configHome,
                                 const std::filesystem::path& runtimeDir);

// Windows: the table below the user's roaming and local application data
// folders.
BrowserPlaces WindowsBrowserPlaces(const std::filesystem::path& roaming,
                                   const std::filesystem::path& local);

}  // namespace quillo::browser
