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

enum class Base { Roaming, Local };

struct Row {
  BrowserFamily family;
  const char* browser;
  Base base;
  const wchar_t* path;
};

constexpr auto kFirefox = BrowserFamily::Firefox;
constexpr auto kChromium = BrowserFamily::Chromium;

// The classic installs first, then the other channels ("SxS" is Canary).
// Opera keeps its folder in the roaming data.
constexpr Row kTable[] = {
    {kFirefox, "Firefox", Base::Roaming, L"Mozilla\\Firefox"},
    {kChromium, "Google Chrome", Base::Local, L"Google\\Chrome\\User Data"},
    {kChromium, "Microsoft Edge", Base::Local, L"Microsoft\\Edge\\User Data"},
    {kChromium, "Chromium", Base::Local, L"Chromium\\User Data"},
    {kChromium, "Brave", Base::Local, L"BraveSoftware\\Brave-Browser\\User Data"},
    {kChromium, "Vivaldi", Base::Local, L"Vivaldi\\User Data"},
    {kChromium, "Opera", Base::Roaming, L"Opera Software\\Opera Stable"},
    {kChromium, "Opera GX", Base::Roaming, L"Opera Software\\Opera GX Stable"},
    {kChromium, "Google Chrome Beta", Base::Local, L"Google\\Chrome Beta\\User Data"},
    {kChromium, "Google Chrome Dev", Base::Local, L"Google\\Chrome Dev\\User Data"},
    {kChromium, "Google Chrome Canary", Base::Local, L"Google\\Chrome SxS\\User Data"},
    {kChromium, "Microsoft Edge Beta", Base::Local, L"Microsoft\\Edge Beta\\User Data"},
    {kChromium, "Microsoft Edge Dev", Base::Local, L"Microsoft\\Edge Dev\\User Data"},
    {kChromium, "Microsoft Edge Canary", Base::Local, L"Microsoft\\Edge SxS\\User Data"},
};

}  // namespace

BrowserPlaces WindowsBrowserPlaces(const std::filesystem::path& roaming,
                                   const std::filesystem::path& local) {
  BrowserPlaces places;
  for (const Row& row : kTable) {
    places.push_back(BrowserPlace{row.family,
                                  row.browser,
                                  {(row.base == Base::Roaming ? roaming : local) / row.path},
                                  std::nullopt});
  }
  return places;
}

BrowserPlaces UserBrowserPlaces() {
  const std::filesystem::path roaming = KnownFolder(FOLDERID_RoamingAppData);
  const std::filesystem::path local = KnownFolder(FOLDERID_LocalAppData);
  if (roaming.empty() || local.empty()) {
    throw Error("The application data folders of the current user are unknown");
  }
  return WindowsBrowserPlaces(roaming, local);
}

// Firefox keeps "parent.lock" open without sharing while the profile is in
// use, so opening it fails with a sharing violation; the file itself stays
// behind when Firefox ends. The probe shares everything and lets go at once,
// so that it never stands in a starting Firefox's way.
bool IsFirefoxProfileRunning(const std::filesystem::path& profileDir,
                             const std::optional<Flatpak>&) {
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
bool IsChromiumRunning(const std::filesystem::path& userDataDir, const std::optional<Flatpak>&) {
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
