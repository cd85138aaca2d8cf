// Windows: where the browsers keep their profiles below the user's
// application data folders, and how a running one is told by the lock file
// it holds open.

#include <windows.h>
// After windows.h, which they build on.
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include "base/Error.h"
#include "platform/browser/BrowserSessions.h"
#include "platform/browser/ChromiumProfiles.h"
#include "platform/browser/FirefoxProfiles.h"

namespace quillo::browser {
namespace {

// Empty when the system does not know the folder.
std::filesystem::path KnownFolder(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  std::filesystem::path folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr) {
    folder = path;
  }
  CoTaskMemFree(path);
  return folder;
}

}  // namespace

BrowserFolders UserBrowserFolders() {
  const std::filesystem::path roaming = KnownFolder(FOLDERID_RoamingAppData);
  const std::filesystem::path local = KnownFolder(FOLDERID_LocalAppData);
  if (roaming.empty() || local.empty()) {
    throw Error("The application data folders of the current user are unknown");
  }
  BrowserFolders folders;
  folders.firefoxRoots = {roaming / L"Mozilla" / L"Firefox"};
  folders.chromium = {
      {"Google Chrome", local / L"Google" / L"Chrome" / L"User Data"},
      {"Microsoft Edge", local / L"Microsoft" / L"Edge" / L"User Data"},
      {"Chromium", local / L"Chromium" / L"User Data"},
      {"Brave", local / L"BraveSoftware" / L"Brave-Browser" / L"User Data"},
  };
  return folders;
}

// Firefox keeps "parent.lock" open without sharing while the profile is in
// use, so opening it fails with a sharing violation; the file itself stays
// behind when Firefox ends. The probe shares everything and lets go at once,
// so that it never stands in a starting Firefox's way.
bool IsFirefoxProfileRunning(const std::filesystem::path& profileDir) {
  const HANDLE probe = CreateFileW((profileDir / L"parent.lock").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

// Chromium holds "lockfile" open for writing while it runs, sharing it for
// reading only, and has it deleted when it closes it; a crash or a power
// loss may leave it behind unheld. A probe that does not share writing
// fails with a sharing violation only while the browser holds it; it lets
// go at once, so that it never stands in a starting browser's way.
bool IsChromiumRunning(const std::filesystem::path& userDataDir) {
  const HANDLE probe = CreateFileW((userDataDir / L"lockfile").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace quillo::browser
