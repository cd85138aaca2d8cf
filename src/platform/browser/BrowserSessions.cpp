#include "platform/browser/BrowserSessions.h"

#include <functional>
#include <new>
#include <optional>
#include <set>
#include <string_view>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"
#include "platform/browser/ChromiumProfiles.h"
#include "platform/browser/ChromiumSession.h"
#include "platform/browser/FirefoxProfiles.h"
#include "platform/browser/FirefoxSession.h"

namespace quillo::browser {
namespace {

// Gathers the tabs of the running profiles. One unreadable session must not
// hide the others, so failures are kept and only matter when every running
// profile failed.
class TabCollector {
 public:
  void readProfile(std::string_view browser, const std::filesystem::path& profileDir,
                   const std::function<std::vector<std::string>()>& readSession) {
    ++running_;
    std::vector<std::string> urls;
    try {
      urls = readSession();
    } catch (const Error& e) {
      if (!firstFailure_) firstFailure_ = e;
      return;
    } catch (const std::bad_alloc&) {
      if (!firstFailure_) firstFailure_ = Error(PathText(profileDir) + ": not enough memory");
      return;
    }
    ++readable_;
    for (std::string& url : urls) {
      tabs_.push_back(OpenTab{std::string(browser), PathText(profileDir), std::move(url)});
    }
  }

  std::vector<OpenTab> result() && {
    if (running_ > 0 && readable_ == 0) {
      std::string message = "No open browser session could be read: ";
      message += firstFailure_->what();
      if (running_ > 1) message += " (and " + std::to_string(running_ - 1) + " more)";
      throw Error(message);
    }
    return std::move(tabs_);
  }

 private:
  std::vector<OpenTab> tabs_;
  int running_ = 0;
  int readable_ = 0;
  std::optional<Error> firstFailure_;
};

}  // namespace

std::vector<OpenTab> ListOpenTabs(const BrowserPlaces& places) {
  TabCollector collector;
  std::set<std::filesystem::path> firefoxProfiles;
  for (const BrowserPlace& place : places) {
    if (place.family == BrowserFamily::Firefox) {
      for (const std::filesystem::path& profile : FindFirefoxProfiles(place.roots)) {
        if (!firefoxProfiles.insert(profile).second) continue;
        if (!IsFirefoxProfileRunning(profile, place.flatpak)) continue;
        collector.readProfile(place.browser, profile, [&] { return ReadFirefoxSession(profile); });
      }
      continue;
    }
    for (const std::filesystem::path& userDataDir : place.roots) {
      if (!IsChromiumRunning(userDataDir, place.flatpak)) continue;
      for (const std::filesystem::path& profile : ChromiumProfileFolders(userDataDir)) {
        collector.readProfile(place.browser, profile, [&] { return ReadChromiumSession(profile); });
      }
    }
  }
  return std::move(collector).result();
}

std::vector<OpenTab> ListOpenTabs() { return ListOpenTabs(UserBrowserPlaces()); }

}  // namespace quillo::browser
