#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/FormController.h"
#include "core/SiteRoot.h"
#include "platform/Info.h"
#include "platform/ShellWindows.h"
#include "platform/Sockets.h"
#include "platform/Tls.h"

extern char** environ;

namespace quillo {
namespace {

namespace fs = std::filesystem;

// The window as far as the second button reaches it: the URL field and the
// error box.
class FieldAndBox final : public FormView {
 public:
  std::string url;
  std::string box;

  std::string urlText() override { return url; }
  void setUrlText(std::string_view u) override { url = u; }
  void showError(std::string_view text, std::string_view) override { box = text; }
  void setStatus(std::string_view) override {}
  void clearLines() override {}
  void appendLine(std::string_view) override {}
  void runStarted() override {}
  void runEnded() override {}
  void processEvents() override {}
  void closeWindow() override {}
};

fs::path FindFirefox() {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (const char* name : {"firefox-esr", "firefox"}) {
    std::size_t start = 0;
    while (start <= dirs.size()) {
      const std::size_t end = std::min(dirs.find(':', start), dirs.size());
      const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
      start = end + 1;
    }
  }
  return {};
}

// The whole road on Linux: a real Firefox shows a page of the site over
// https, as browsers move it there today, writes its session, and the second
// button finds that page through the platform's own window list, with $HOME
// pointing at a throw-away home.
TEST(RealFirefox, SecondButtonTakesTheHttpsSitePageItShows) {
  const fs::path firefox = FindFirefox();
  if (firefox.empty()) GTEST_SKIP() << "no Firefox installed";

  std::string pattern = (fs::temp_directory_path() / "quillo-firefox-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path home = pattern;
  const fs::path profile = home / ".mozilla" / "firefox" / "quillo.test";
  fs::create_directories(profile);
  std::ofstream(home / ".mozilla" / "firefox" / "profiles.ini")
      << "[Profile0]\nName=quillo\nIsRelative=1\nPath=quillo.test\n";
  std::ofstream(profile / "user.js")
      << "user_pref(\"browser.sessionstore.interval\", 1000);\n"
         "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
         "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
         "user_pref(\"app.update.enabled\", false);\n"
         "user_pref(\"browser.aboutwelcome.enabled\", false);\n";

  // Nothing answers there; Firefox keeps the address as the tab's entry.
  const std::string address = std::string(kHttpsSiteRoot) + "/lite/list?q=quillo";
  // Everything of the browser's under the throw-away home.
  std::vector<std::string> environment = {"HOME=" + home.string(),
                                          "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                          "XDG_CACHE_HOME=" + (home / ".cache").string(),
                                          "XDG_DATA_HOME=" + (home / ".local/share").string(),
                                          "MOZ_HEADLESS=1",
                                          "MOZ_CRASHREPORTER_DISABLE=1"};
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string_view assignment(*variable);
    const std::string_view name = assignment.substr(0, assignment.find('='));
    if (name == "HOME" || name.starts_with("XDG_") || name.starts_with("MOZ_")) continue;
    environment.emplace_back(assignment);
  }
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {firefox.string(), "--headless",     "--no-remote",
                                   "--profile",      profile.string(), address};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string log = (home / "firefox.log").string();
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // its own group, killed whole
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, firefox.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ASSERT_EQ(spawned, 0);

  const char* savedHome = std::getenv("HOME");
  const std::string restoreHome = savedHome != nullptr ? savedHome : "";
  ::setenv("HOME", home.c_str(), 1);

  FieldAndBox view;
  FormController form(
      Ports{net::SystemSockets(), net::SystemTls(), shell::SystemShell(), SystemLauncher()}, view,
      "quillo");
  std::string lastProblem = "nothing found";
  // A loaded machine's Firefox may take half a minute to write its first
  // session.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(100);
  while (view.url.empty() && std::chrono::steady_clock::now() < deadline) {
    form.perform(&FormController::SpeedButton2Click);
    // Until Firefox writes its first session, the box tells why not.
    if (!view.box.empty()) lastProblem = view.box;
    if (view.url.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }

  ::setenv("HOME", restoreHome.c_str(), 1);
  ::kill(-pid, SIGKILL);
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  EXPECT_EQ(view.url, address) << lastProblem;
  std::error_code ignored;
  fs::remove_all(home, ignored);
}

}  // namespace
}  // namespace quillo
