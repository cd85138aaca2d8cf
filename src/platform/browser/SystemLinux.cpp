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

enum Base {
  kHome,     // the home folder
  kConfig,   // $XDG_CONFIG_HOME, else ~/.config
  kApp,      // a flatpak's own ~/.var/app/<application id>
  kAppConf,  // its "config" folder, which the flatpak makes its XDG_CONFIG_HOME
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
    {kFirefox, "Firefox", nullptr, {{kConfig, "mozilla/firefox"}, {kHome, ".mozilla/firefox"}}},
    {kFirefox, "Firefox", nullptr, {{kHome, "snap/firefox/common/.mozilla/firefox"}}},
    {kFirefox,
     "Firefox",
     "org.mozilla.firefox",
     {{kAppConf, "mozilla/firefox"}, {kApp, ".mozilla/firefox"}}},
    {kChromium, "Chromium", nullptr, {{kConfig, "chromium"}}},
    {kChromium, "Google Chrome", nullptr, {{kConfig, "google-chrome"}}},
    {kChromium, "Microsoft Edge", nullptr, {{kConfig, "microsoft-edge"}}},
    {kChromium, "Brave", nullptr, {{kConfig, "BraveSoftware/Brave-Browser"}}},
    {kChromium, "Vivaldi", nullptr, {{kConfig, "vivaldi"}}},
    {kChromium, "Opera", nullptr, {{kConfig, "opera"}}},
    {kChromium, "Google Chrome Beta", nullptr, {{kConfig, "google-chrome-beta"}}},
    {kChromium, "Google Chrome Dev", nullptr, {{kConfig, "google-chrome-unstable"}}},
    {kChromium, "Chromium", nullptr, {{kHome, "snap/chromium/common/chromium"}}},
    {kChromium, "Chromium", "org.chromium.Chromium", {{kAppConf, "chromium"}}},
    {kChromium, "Google Chrome", "com.google.Chrome", {{kAppConf, "google-chrome"}}},
    {kChromium, "Microsoft Edge", "com.microsoft.Edge", {{kAppConf, "microsoft-edge"}}},
    {kChromium, "Brave", "com.brave.Browser", {{kAppConf, "BraveSoftware/Brave-Browser"}}},
    {kChromium, "Vivaldi", "com.vivaldi.Vivaldi", {{kAppConf, "vivaldi"}}},
    {kChromium, "Opera", "com.opera.Opera", {{kAppConf, "opera"}}},
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
      const std::filesystem::path app = row.flatpak ? home / ".var/app" / row.flatpak : home;
      const std::filesystem::path bases[] = {home, configHome, app, app / "config"};
      place.roots.push_back(bases[root.base] / root.path);
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
