#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "SessionFixtures.h"
#include "base/Error.h"
#include "platform/browser/BrowserSessions.h"

namespace quillo::browser {
namespace {

using testing::TempHome;

// Nothing answers at this address; Firefox still keeps it as the tab's entry.
constexpr const char* kAddress = "http://listings.example/lite/";

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// A browser started in its own process group, so that killing the group takes
// its content processes along; killed when the test ends, however it ends.
class BrowserProcess {
 public:
  BrowserProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment, const std::string& log) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setpgid(0, 0);
      for (const std::string& assignment : environment)
        ::putenv(const_cast<char*>(assignment.c_str()));
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
      }
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    if (pid_ > 0) ::setpgid(pid_, pid_);  // either side may run first
  }

  ~BrowserProcess() {
    if (pid_ <= 0) return;
    // The group outlives a leader that exited on its own.
    ::kill(-pid_, SIGKILL);
    if (reaped_) return;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }

  BrowserProcess(const BrowserProcess&) = delete;
  BrowserProcess& operator=(const BrowserProcess&) = delete;

  bool started() const { return pid_ > 0; }
  bool exited() {
    int status = 0;
    if (!reaped_ && ::waitpid(pid_, &status, WNOHANG) == pid_) reaped_ = true;
    return reaped_;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(RealFirefoxTest, ListsTheAddressARunningFirefoxShows) {
  std::string firefox = FindOnPath("firefox-esr");
  if (firefox.empty()) firefox = FindOnPath("firefox");
  if (firefox.empty()) GTEST_SKIP() << "no Firefox installed";

  TempHome home;
  home.write(".mozilla/firefox/profiles.ini",
             "[Profile0]\nName=quillo-test\nIsRelative=1\nPath=quillo.test\n\n"
             "[General]\nStartWithLastProfile=1\nVersion=2\n");
  const std::filesystem::path profile =
      home.write(".mozilla/firefox/quillo.test/user.js",
                 "user_pref(\"browser.sessionstore.interval\", 1000);\n"
                 "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                 "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                 "user_pref(\"datareporting.healthreport.uploadEnabled\", false);\n"
                 "user_pref(\"toolkit.telemetry.enabled\", false);\n"
                 "user_pref(\"app.update.enabled\", false);\n"
                 "user_pref(\"app.normandy.enabled\", false);\n"
                 "user_pref(\"network.proxy.type\", 0);\n"
                 "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                 "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                 "user_pref(\"extensions.update.enabled\", false);\n"
                 "user_pref(\"browser.safebrowsing.update.enabled\", false);\n"
                 "user_pref(\"browser.newtabpage.enabled\", false);\n")
          .parent_path();
  const std::filesystem::path log = home.path() / "firefox.log";

  const std::string homeDir = home.path().string();
  BrowserProcess browser(
      firefox, {"--headless", "--no-remote", "--profile", profile.string(), kAddress},
      {"HOME=" + homeDir, "XDG_CONFIG_HOME=" + homeDir + "/.config",
       "XDG_CACHE_HOME=" + homeDir + "/.cache", "XDG_DATA_HOME=" + homeDir + "/.local/share",
       "MOZ_HEADLESS=1", "MOZ_CRASHREPORTER_DISABLE=1"},
      log.string());
  ASSERT_TRUE(browser.started());

  std::string lastProblem = "no tab listed";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(45);
  bool found = false;
  while (!found && std::chrono::steady_clock::now() < deadline && !browser.exited()) {
    try {
      for (const OpenTab& tab :
           ListOpenTabs(LinuxBrowserPlaces(home.path(), home.path() / ".config", home.path()))) {
        if (tab.url == kAddress) {
          EXPECT_EQ(tab.browser, "Firefox");
          EXPECT_EQ(tab.profile, std::filesystem::canonical(profile).string());
          found = true;
        } else {
          lastProblem = "listed " + tab.url;
        }
      }
    } catch (const Error& e) {
      lastProblem = e.what();  // normal until Firefox writes its first session
    }
    if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EXPECT_TRUE(found) << lastProblem << "\nFirefox said:\n" << ReadAll(log);
}

}  // namespace
}  // namespace quillo::browser
