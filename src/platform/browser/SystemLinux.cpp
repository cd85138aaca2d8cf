// Linux: where the browsers keep their profiles below the home folder, and
// how a running one is told by the lock it holds.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"
#include "platform/browser/BrowserSessions.h"
#include "platform/browser/ChromiumProfiles.h"
#include "platform/browser/FirefoxProfiles.h"
#include "platform/browser/LockOwner.h"

namespace quillo::browser {
namespace {

enum class Base {
  Home,       // the home folder
  Config,     // $XDG_CONFIG_HOME, else ~/.config
  AppFolder,  // a flatpak's own ~/.var/app/<application id>
};

struct Root {
  Base base;
  const char* path;
};

struct Row {
  BrowserFamily family;
  const char* browser;
  const char* flatpak;  // the application id; nullptr for other installs
  Root roots[2];        // the second one's path nullptr when there is one root
};

constexpr auto kFirefox = BrowserFamily::Firefox;
constexpr auto kChromium = BrowserFamily::Chromium;

// The classic installs first, then the other channels, snaps and flatpaks;
// within a row the newer layout first. A snap shares the host's process ids,
// so its locks read as any other's.
constexpr Row kTable[] = {
    {kFirefox,
     "Firefox",
     nullptr,
     {{Base::Config, "mozilla/firefox"}, {Base::Home, ".mozilla/firefox"}}},
    {kFirefox, "Firefox", nullptr, {{Base::Home, "snap/firefox/common/.mozilla/firefox"}}},
    {kFirefox,
     "Firefox",
     "org.mozilla.firefox",
     {{Base::AppFolder, "config/mozilla/firefox"}, {Base::AppFolder, ".mozilla/firefox"}}},
    {kChromium, "Chromium", nullptr, {{Base::Config, "chromium"}}},
    {kChromium, "Google Chrome", nullptr, {{Base::Config, "google-chrome"}}},
    {kChromium, "Microsoft Edge", nullptr, {{Base::Config, "microsoft-edge"}}},
    {kChromium, "Brave", nullptr, {{Base::Config, "BraveSoftware/Brave-Browser"}}},
    {kChromium, "Vivaldi", nullptr, {{Base::Config, "vivaldi"}}},
    {kChromium, "Opera", nullptr, {{Base::Config, "opera"}}},
    {kChromium, "Google Chrome Beta", nullptr, {{Base::Config, "google-chrome-beta"}}},
    {kChromium, "Google Chrome Dev", nullptr, {{Base::Config, "google-chrome-unstable"}}},
    {kChromium, "Chromium", nullptr, {{Base::Home, "snap/chromium/common/chromium"}}},
    {kChromium, "Chromium", "org.chromium.Chromium", {{Base::AppFolder, "config/chromium"}}},
    {kChromium, "Google Chrome", "com.google.Chrome", {{Base::AppFolder, "config/google-chrome"}}},
    {kChromium,
     "Microsoft Edge",
     "com.microsoft.Edge",
     {{Base::AppFolder, "config/microsoft-edge"}}},
    {kChromium,
     "Brave",
     "com.brave.Browser",
     {{Base::AppFolder, "config/BraveSoftware/Brave-Browser"}}},
    {kChromium, "Vivaldi", "com.vivaldi.Vivaldi", {{Base::AppFolder, "config/vivaldi"}}},
    {kChromium, "Opera", "com.opera.Opera", {{Base::AppFolder, "config/opera"}}},
};

// The folder an absolute path in the variable names; nullopt when it is
// unset, empty or relative (as the XDG rules want it ignored then).
std::optional<std::filesystem::path> AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value != '/') return std::nullopt;
  return std::filesystem::path(value);
}

std::filesystem::path HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* user = ::getpwuid(::getuid());
  if (user != nullptr && user->pw_dir != nullptr && *user->pw_dir != '\0') return user->pw_dir;
  throw Error("The home folder of the current user is unknown");
}

// The application id that a sandbox's "info" key file gives under
// [Application] as name=; empty when it gives none.
std::string FlatpakInstanceApp(const std::filesystem::path& instance) {
  constexpr std::size_t kMaxInfo = std::size_t{1} << 16;
  std::string info;
  try {
    info = ReadBoundedFile(instance / "info", kMaxInfo);
  } catch (const Error&) {
    return {};
  }
  std::string_view rest = info;
  bool inApplication = false;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.starts_with('[')) {
      inApplication = line == "[Application]";
    } else if (inApplication && line.starts_with("name=")) {
      return std::string(line.substr(5));
    }
  }
  return {};
}

// The host sees a flatpak's sandboxes, not its process ids: each running
// sandbox has a folder whose "info" names its application and whose ".ref"
// bears a lock for as long as the sandbox lives (a crashed one's folder stays
// until flatpak clears it).
bool IsFlatpakRunning(const Flatpak& flatpak) {
  std::error_code error;
  for (std::filesystem::directory_iterator it(flatpak.instances, error), end; !error && it != end;
       it.increment(error)) {
    if (FlatpakInstanceApp(it->path()) == flatpak.app &&
        IsLockedByAnotherProcess(it->path() / ".ref")) {
      return true;
    }
  }
  return false;
}

}  // namespace

BrowserPlaces LinuxBrowserPlaces(const std::filesystem::path& home,
                                 const std::filesystem::path& configHome,
                                 const std::filesystem::path& runtimeDir) {
  BrowserPlaces places;
  for (const Row& row : kTable) {
    BrowserPlace& place = places.emplace_back();
    place.family = row.family;
    place.browser = row.browser;
    if (row.flatpak != nullptr) place.flatpak = Flatpak{row.flatpak, runtimeDir / ".flatpak"};
    for (const Root& root : row.roots) {
      if (root.path == nullptr) continue;
      switch (root.base) {
        case Base::Home:
          place.roots.push_back(home / root.path);
          break;
        case Base::Config:
          place.roots.push_back(configHome / root.path);
          break;
        case Base::AppFolder:
          place.roots.push_back(home / ".var/app" / row.flatpak / root.path);
          break;
      }
    }
  }
  return places;
}

BrowserPlaces UserBrowserPlaces() {
  const std::filesystem::path home = HomeFolder();
  return LinuxBrowserPlaces(home,
                            AbsoluteFromEnvironment("XDG_CONFIG_HOME").value_or(home / ".config"),
                            AbsoluteFromEnvironment("XDG_RUNTIME_DIR")
                                .value_or("/run/user/" + std::to_string(::getuid())));
}

bool IsFirefoxProfileRunning(const std::filesystem::path& profileDir,
                             const std::optional<Flatpak>& flatpak) {
  // A flatpak's "lock" names a process of its own namespace; the fcntl lock
  // on ".parentlock" is the file's, whoever looks.
  if (!flatpak) {
    if (const std::optional<std::string> target = ReadLinkTarget(profileDir / "lock")) {
      const std::optional<LockOwner> owner = ParseFirefoxLockTarget(*target);
      if (owner && IsLiveOnThisHost(*owner)) return true;
    }
  }
  return IsLockedByAnotherProcess(profileDir / ".parentlock");
}

bool IsChromiumRunning(const std::filesystem::path& userDataDir,
                       const std::optional<Flatpak>& flatpak) {
  const std::optional<std::string> target = ReadLinkTarget(userDataDir / "SingletonLock");
  if (!target) return false;
  const std::optional<LockOwner> owner = ParseChromiumLockTarget(*target);
  if (!owner) return false;
  // A flatpak shares the host's name but not its process ids.
  if (flatpak) return IsThisHost(owner->host) && IsFlatpakRunning(*flatpak);
  return IsLiveOnThisHost(*owner);
}

}  // namespace quillo::browser
