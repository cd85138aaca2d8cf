// Linux: where the browsers keep their profiles below the home folder, and
// how a running one is told by the lock it holds.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "base/Error.h"
#include "platform/browser/BrowserSessions.h"
#include "platform/browser/ChromiumProfiles.h"
#include "platform/browser/FirefoxProfiles.h"
#include "platform/browser/LockOwner.h"

namespace quillo::browser {

BrowserFolders BrowserFoldersUnder(const std::filesystem::path& home) {
  BrowserFolders folders;
  // Newest first: the XDG location current builds use, the classic one, then
  // the snap and flatpak sandboxes.
  for (const char* root :
       {".config/mozilla/firefox", ".mozilla/firefox", "snap/firefox/common/.mozilla/firefox",
        ".var/app/org.mozilla.firefox/.mozilla/firefox"}) {
    folders.firefoxRoots.push_back(home / root);
  }
  folders.chromium = {
      {"Chromium", home / ".config/chromium"},
      {"Google Chrome", home / ".config/google-chrome"},
      {"Microsoft Edge", home / ".config/microsoft-edge"},
      {"Brave", home / ".config/BraveSoftware/Brave-Browser"},
  };
  return folders;
}

BrowserFolders UserBrowserFolders() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return BrowserFoldersUnder(home);
  const passwd* user = ::getpwuid(::getuid());
  if (user != nullptr && user->pw_dir != nullptr && *user->pw_dir != '\0') {
    return BrowserFoldersUnder(user->pw_dir);
  }
  throw Error("The home folder of the current user is unknown");
}

bool IsFirefoxProfileRunning(const std::filesystem::path& profileDir) {
  if (const std::optional<std::string> target = ReadLinkTarget(profileDir / "lock")) {
    const std::optional<LockOwner> owner = ParseFirefoxLockTarget(*target);
    if (owner && IsLiveOnThisHost(*owner)) return true;
  }
  return IsLockedByAnotherProcess(profileDir / ".parentlock");
}

bool IsChromiumRunning(const std::filesystem::path& userDataDir) {
  const std::optional<std::string> target = ReadLinkTarget(userDataDir / "SingletonLock");
  if (!target) return false;
  const std::optional<LockOwner> owner = ParseChromiumLockTarget(*target);
  return owner && IsLiveOnThisHost(*owner);
}

}  // namespace quillo::browser
