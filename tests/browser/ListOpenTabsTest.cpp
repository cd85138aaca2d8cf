#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "SessionFixtures.h"
#include "base/Error.h"
#include "platform/browser/BrowserSessions.h"

namespace quillo::browser {
namespace {

using namespace testing;

std::string RelativeProfileIni(const std::vector<std::string>& paths) {
  std::string ini = "[General]\nStartWithLastProfile=1\nVersion=2\n\n";
  for (std::size_t i = 0; i < paths.size(); ++i) {
    ini += "[Profile" + std::to_string(i) + "]\nName=p" + std::to_string(i) +
           "\nIsRelative=1\nPath=" + paths[i] + "\n\n";
  }
  return ini;
}

// The table below a throw-away home: "xdg" stands for $XDG_CONFIG_HOME in
// the table's own test, ".config" in the others, "run" for $XDG_RUNTIME_DIR.
BrowserPlaces Places(const TempHome& home, const char* configHome = ".config") {
  return LinuxBrowserPlaces(home.path(), home.path() / configHome, home.path() / "run");
}

// Open-file-description locks, which conflict with the reader's probe even
// in the same process, as a browser's lock from its own process does.
class HeldLocks {
 public:
  HeldLocks() = default;
  HeldLocks(const HeldLocks&) = delete;
  HeldLocks& operator=(const HeldLocks&) = delete;
  ~HeldLocks() {
    for (const int fd : fds_) ::close(fd);
  }

  void hold(const std::filesystem::path& file, short type) {
    std::filesystem::create_directories(file.parent_path());
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << file;
    fds_.push_back(fd);
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0) << file;
  }

 private:
  std::vector<int> fds_;
};

// A running flatpak sandbox of app as the host sees it: flatpak's folder for
// it, whose ".ref" the sandbox keeps read-locked.
void FlatpakSandbox(const TempHome& home, const std::string& app, HeldLocks& locks) {
  static int next = 1000;
  const std::string instance = "run/.flatpak/" + std::to_string(next++);
  home.write(instance + "/info", "[Application]\nname=" + app +
                                     "\nruntime=runtime/org.freedesktop.Platform/x86_64/24.08\n");
  locks.hold(home.path() / instance / ".ref", F_RDLCK);
}

class ListOpenTabsTest : public ::testing::Test {
 protected:
  // A Firefox profile at dir (below home) whose session has one window with
  // the given addresses, held by the lock target when one is given.
  std::filesystem::path firefoxProfile(const std::string& dir, const std::vector<std::string>& urls,
                                       const std::string& lock = LiveFirefoxLock()) {
    home.write(dir + "/sessionstore-backups/recovery.jsonlz4", MozLz4(FirefoxSessionJson({urls})));
    if (!lock.empty()) home.link(dir + "/lock", lock);
    return std::filesystem::canonical(home.path() / dir);
  }

  // A running Chromium-family user data dir with a "Default" profile holding
  // the given session.
  void chromium(const std::string& userDataDir, const SnssWriter& session,
                const std::string& lock = LiveChromiumLock()) {
    home.write(userDataDir + "/Default/Sessions/Session_13312345678901234", session.bytes());
    home.link(userDataDir + "/SingletonLock", lock);
  }

  std::vector<std::string> urls() {
    std::vector<std::string> result;
    for (const OpenTab& tab : ListOpenTabs(Places(home))) result.push_back(tab.url);
    return result;
  }

  // The message of the error ListOpenTabs throws, or "" when it does not.
  std::string failure() {
    try {
      ListOpenTabs(Places(home));
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }

  TempHome home;
};

TEST_F(ListOpenTabsTest, NothingInstalledIsEmpty) { EXPECT_TRUE(urls().empty()); }

// Every row of the table, in its order: where the browser keeps its profiles
// and whether it runs in a flatpak. The Opera row keeps its profile in the
// root folder itself.
const struct PlaceRow {
  const char* browser;
  const char* root;
  const char* flatpak;
} kPlaces[] = {
    {"Firefox", "xdg/mozilla/firefox", nullptr},
    {"Firefox", ".mozilla/firefox", nullptr},
    {"Firefox", "snap/firefox/common/.mozilla/firefox", nullptr},
    {"Firefox", ".var/app/org.mozilla.firefox/config/mozilla/firefox", "org.mozilla.firefox"},
    {"Firefox", ".var/app/org.mozilla.firefox/.mozilla/firefox", "org.mozilla.firefox"},
    {"Chromium", "xdg/chromium", nullptr},
    {"Google Chrome", "xdg/google-chrome", nullptr},
    {"Microsoft Edge", "xdg/microsoft-edge", nullptr},
    {"Brave", "xdg/BraveSoftware/Brave-Browser", nullptr},
    {"Vivaldi", "xdg/vivaldi", nullptr},
    {"Opera", "xdg/opera", nullptr},
    {"Google Chrome Beta", "xdg/google-chrome-beta", nullptr},
    {"Google Chrome Dev", "xdg/google-chrome-unstable", nullptr},
    {"Chromium", "snap/chromium/common/chromium", nullptr},
    {"Chromium", ".var/app/org.chromium.Chromium/config/chromium", "org.chromium.Chromium"},
    {"Google Chrome", ".var/app/com.google.Chrome/config/google-chrome", "com.google.Chrome"},
    {"Microsoft Edge", ".var/app/com.microsoft.Edge/config/microsoft-edge", "com.microsoft.Edge"},
    {"Brave", ".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser", "com.brave.Browser"},
    {"Vivaldi", ".var/app/com.vivaldi.Vivaldi/config/vivaldi", "com.vivaldi.Vivaldi"},
    {"Opera", ".var/app/com.opera.Opera/config/opera", "com.opera.Opera"},
};

// The row's browser running with one tab showing the row's root, its lock
// held as that browser holds it: in a flatpak the lock names a process id of
// the sandbox's own.
void RunBrowser(const TempHome& home, const PlaceRow& row, HeldLocks& locks) {
  const std::string root = row.root;
  if (std::string_view(row.browser) == "Firefox") {
    home.write(root + "/profiles.ini", RelativeProfileIni({"p"}));
    home.write(root + "/p/sessionstore-backups/recovery.jsonlz4",
               MozLz4(FirefoxSessionJson({{root}})));
    home.link(root + "/p/lock", row.flatpak ? "127.0.0.1:+2" : LiveFirefoxLock());
    if (row.flatpak) locks.hold(home.path() / root / "p/.parentlock", F_WRLCK);
  } else {
    const bool profileInRoot = std::string_view(row.browser) == "Opera" && !row.flatpak;
    home.write(root + (profileInRoot ? "" : "/Default") + "/Sessions/Session_1",
               SnssWriter().tab(1, 1, 0, root).bytes());
    home.link(root + "/SingletonLock", row.flatpak ? ThisHost() + "-2" : LiveChromiumLock());
  }
  if (row.flatpak) FlatpakSandbox(home, row.flatpak, locks);
}

TEST(BrowserPlacesTest, EveryRowRunningInOrder) {
  TempHome home;
  HeldLocks locks;
  std::vector<std::string> expected;
  for (const PlaceRow& row : kPlaces) {
    RunBrowser(home, row, locks);
    expected.push_back(std::string(row.browser) + " " + row.root);
  }
  std::vector<std::string> found;
  for (const OpenTab& tab : ListOpenTabs(Places(home, "xdg")))
    found.push_back(tab.browser + " " + tab.url);
  EXPECT_EQ(found, expected);
}

// A flatpak's lock names a process of its own namespace: only a live sandbox
// of its application on the host means it runs, for Chromium; for Firefox
// the record lock on .parentlock, which crosses the namespace.
TEST_F(ListOpenTabsTest, FlatpakRunsOnlyWhileItsSandboxDoes) {
  const std::string pid = std::to_string(::getpid());
  const std::string chromium = ".var/app/org.chromium.Chromium/config/chromium";
  home.write(chromium + "/Default/Sessions/Session_1",
             SnssWriter().tab(1, 1, 0, "chromium").bytes());
  home.link(chromium + "/SingletonLock", ThisHost() + "-" + pid);
  const std::string firefox = ".var/app/org.mozilla.firefox/.mozilla/firefox";
  home.write(firefox + "/profiles.ini", RelativeProfileIni({"p"}));
  firefoxProfile(firefox + "/p", {"firefox"}, "127.0.0.1:+" + pid);
  // Both lock links name a live host process; an ended sandbox's folder and
  // another application's sandbox are no sign either.
  home.write("run/.flatpak/1/info", "[Application]\nname=org.chromium.Chromium\n");
  home.write("run/.flatpak/1/.ref", "");
  HeldLocks locks;
  FlatpakSandbox(home, "com.google.Chrome", locks);
  EXPECT_TRUE(urls().empty());

  locks.hold(home.path() / "run/.flatpak/1/.ref", F_RDLCK);
  locks.hold(home.path() / firefox / "p/.parentlock", F_WRLCK);
  EXPECT_EQ(urls(), (std::vector<std::string>{"firefox", "chromium"}));
}

TEST_F(ListOpenTabsTest, InstallDefaultFirstThenProfilesByNumber) {
  home.write(".mozilla/firefox/profiles.ini",
             "[Profile1]\nName=second\nIsRelative=1\nPath=Profiles/two\n\n"
             "[Profile0]\nName=first\nIsRelative=1\nPath=Profiles/one\nDefault=1\n\n"
             "[Profile2]\nName=default\nIsRelative=1\nPath=Profiles/three\n\n"
             "[Install4F96D1932A9F858E]\nDefault=Profiles/three\nLocked=1\n");
  firefoxProfile(".mozilla/firefox/Profiles/one", {"one"});
  firefoxProfile(".mozilla/firefox/Profiles/two", {"two"});
  firefoxProfile(".mozilla/firefox/Profiles/three", {"three"});
  EXPECT_EQ(urls(), (std::vector<std::string>{"three", "one", "two"}));
}

TEST_F(ListOpenTabsTest, AbsolutePathsAndProfilesReachedTwiceCountOnce) {
  const std::filesystem::path elsewhere = firefoxProfile("elsewhere/profile", {"shared"});
  const std::filesystem::path own = firefoxProfile(".mozilla/firefox/own", {"own"});
  std::filesystem::create_directory_symlink(elsewhere, home.path() / "alias");
  home.write(".config/mozilla/firefox/profiles.ini",
             "[Profile0]\nIsRelative=0\nPath=" + elsewhere.string() + "\n");
  home.write(".mozilla/firefox/profiles.ini",
             "[Profile0]\r\nIsRelative=0\r\nPath=" + (home.path() / "alias").string() +
                 "\r\n[Profile1]\r\nIsRelative=1\r\nPath=own\r\n"
                 "[Profile2]\r\nIsRelative=1\r\nPath=./own\r\n"
                 "[Profile3]\r\nIsRelative=1\r\nPath=missing\r\n");
  const std::vector<OpenTab> tabs = ListOpenTabs(Places(home));
  ASSERT_EQ(tabs.size(), 2u);
  EXPECT_EQ(tabs[0].url, "shared");
  EXPECT_EQ(tabs[0].profile, elsewhere.string());
  EXPECT_EQ(tabs[1].url, "own");
  EXPECT_EQ(tabs[1].profile, own.string());
}

TEST_F(ListOpenTabsTest, OnlyLiveLockOwnersCount) {
  const std::string pid = std::to_string(::getpid());
  const std::string dead = std::to_string(DeadPid());
  const struct {
    std::string lock;
    bool running;
  } cases[] = {
      {"127.0.0.1:+" + pid, true},
      {"192.168.7.3:+" + pid, true},
      {"::1:+" + pid, true},
      {"127.0.0.1:" + pid, true},
      {ThisHost() + ":+" + pid, true},
      {"127.0.0.1:+" + dead, false},
      {"other-host.invalid:+" + pid, false},
      {"127.0.0.1:+", false},
      {"127.0.0.1:+-5", false},
      {"127.0.0.1:+12x", false},
      {"127.0.0.1:+99999999999999999999", false},
      {pid, false},
      {"", false},
  };
  for (const auto& c : cases) {
    TempHome fresh;
    fresh.write(".mozilla/firefox/profiles.ini", RelativeProfileIni({"p"}));
    fresh.write(".mozilla/firefox/p/sessionstore-backups/recovery.jsonlz4",
                MozLz4(FirefoxSessionJson({{"u"}})));
    if (!c.lock.empty()) fresh.link(".mozilla/firefox/p/lock", c.lock);
    EXPECT_EQ(ListOpenTabs(Places(fresh)).size(), c.running ? 1u : 0u) << "lock " << c.lock;
  }
}

TEST_F(ListOpenTabsTest, LockedParentlockMeansRunning) {
  home.write(".mozilla/firefox/profiles.ini", RelativeProfileIni({"p"}));
  firefoxProfile(".mozilla/firefox/p", {"held"}, "127.0.0.1:+" + std::to_string(DeadPid()));
  const std::filesystem::path parentlock = home.write(".mozilla/firefox/p/.parentlock", "");
  EXPECT_TRUE(urls().empty());

  {
    HeldLocks locks;
    locks.hold(parentlock, F_WRLCK);
    EXPECT_EQ(urls(), std::vector<std::string>{"held"});
  }
  EXPECT_TRUE(urls().empty());
}

TEST_F(ListOpenTabsTest, BackupStandsInForBrokenLiveFile) {
  home.write(".mozilla/firefox/profiles.ini", RelativeProfileIni({"p"}));
  firefoxProfile(".mozilla/firefox/p", {"live"});
  home.write(".mozilla/firefox/p/sessionstore-backups/recovery.baklz4",
             MozLz4(FirefoxSessionJson({{"backup"}})));
  EXPECT_EQ(urls(), std::vector<std::string>{"live"});
  home.write(".mozilla/firefox/p/sessionstore-backups/recovery.jsonlz4", "broken");
  EXPECT_EQ(urls(), std::vector<std::string>{"backup"});
}

TEST_F(ListOpenTabsTest, UnreadableSessionsOfRunningFirefoxRaise) {
  const std::string live = ".mozilla/firefox/p/sessionstore-backups/recovery.jsonlz4";
  std::string shortened = MozLz4(FirefoxSessionJson({{"u"}}));
  shortened[8] = static_cast<char>(shortened[8] - 1);
  const struct {
    const char* name;
    std::function<void(const TempHome&)> spoil;
    const char* reason;
  } cases[] = {
      {"missing", [&](const TempHome& h) { std::filesystem::remove(h.path() / live); },
       "file not found"},
      {"bad magic", [&](const TempHome& h) { h.write(live, "mozLz41\0garbage"); }, "bad magic"},
      {"wrong size", [&](const TempHome& h) { h.write(live, shortened); }, "declared"},
      {"bad JSON", [&](const TempHome& h) { h.write(live, MozLz4("{\"windows\":[")); },
       "invalid JSON"},
      {"FIFO",
       [&](const TempHome& h) {
         std::filesystem::remove(h.path() / live);
         ASSERT_EQ(::mkfifo((h.path() / live).c_str(), 0600), 0);
       },
       "not a regular file"},
  };
  for (const auto& c : cases) {
    TempHome fresh;
    fresh.write(".mozilla/firefox/profiles.ini", RelativeProfileIni({"p"}));
    fresh.write(live, MozLz4(FirefoxSessionJson({{"u"}})));
    fresh.link(".mozilla/firefox/p/lock", LiveFirefoxLock());
    c.spoil(fresh);
    try {
      ListOpenTabs(Places(fresh));
      ADD_FAILURE() << c.name << ": no error";
    } catch (const Error& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find((fresh.path() / live).string()), std::string::npos) << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << c.name << ": " << message;
    }
    // The same file in a profile nobody runs is no concern.
    std::filesystem::remove(fresh.path() / ".mozilla/firefox/p/lock");
    EXPECT_TRUE(ListOpenTabs(Places(fresh)).empty()) << c.name;
  }
}

TEST_F(ListOpenTabsTest, OneReadableSessionIsEnough) {
  home.write(".mozilla/firefox/profiles.ini", RelativeProfileIni({"bad", "good"}));
  firefoxProfile(".mozilla/firefox/bad", {"x"});
  home.write(".mozilla/firefox/bad/sessionstore-backups/recovery.jsonlz4", MozLz4("not json"));
  firefoxProfile(".mozilla/firefox/good", {"good"});
  EXPECT_EQ(urls(), std::vector<std::string>{"good"});
  std::filesystem::remove(home.path() / ".mozilla/firefox/good/lock");
  EXPECT_NE(failure().find("invalid JSON"), std::string::npos);
}

TEST_F(ListOpenTabsTest, ChromiumNeedsLiveOwnerOnThisHost) {
  const std::string pid = std::to_string(::getpid());
  const struct {
    std::string lock;
    bool running;
  } cases[] = {
      {ThisHost() + "-" + pid, true},
      {ThisHost() + "-" + std::to_string(DeadPid()), false},
      {"other-host.invalid-" + pid, false},
      {ThisHost() + "-", false},
      {ThisHost(), false},
  };
  for (const auto& c : cases) {
    TempHome fresh;
    fresh.write(".config/chromium/Default/Sessions/Session_1",
                SnssWriter().tab(1, 1, 0, "u").bytes());
    fresh.link(".config/chromium/SingletonLock", c.lock);
    EXPECT_EQ(ListOpenTabs(Places(fresh)).size(), c.running ? 1u : 0u) << c.lock;
  }
}

// Only profiles with open windows count: a closed window's tabs stay in its
// profile's session file.
TEST_F(ListOpenTabsTest, ChromiumProfilesWithOpenWindows) {
  chromium(".config/chromium", SnssWriter().tab(1, 1, 0, "default"));
  home.write(".config/chromium/Profile 2/Sessions/Session_5",
             SnssWriter().tab(1, 1, 0, "p2").bytes());
  home.write(".config/chromium/Profile 10/Sessions/Session_5",
             SnssWriter().tab(1, 1, 0, "p10").bytes());
  const std::string cache = R"("info_cache":{"Profile 2":{"name":"Work"},"Default":{"name":"Me"},
                                "Profile 10":{"name":"x"},"../escape":{},"":{}})";
  const struct {
    const char* name;
    std::string localState;
    std::vector<std::string> urls;
  } cases[] = {
      {"open ones in their order",
       R"({"profile":{)" + cache +
           R"(,"last_active_profiles":["Profile 2","Gone","../escape","Default","Profile 2"]}})",
       {"p2", "default"}},
      {"all windows closed", R"({"profile":{)" + cache + R"(,"last_active_profiles":[]}})", {}},
      {"no list: every profile, sorted",
       R"({"profile":{)" + cache + R"(},"other":{"info_cache":{"Nope":{}}}})",
       {"default", "p10", "p2"}},
      {"unreadable", "{broken", {"default"}},
  };
  for (const auto& c : cases) {
    home.write(".config/chromium/Local State", c.localState);
    EXPECT_EQ(urls(), c.urls) << c.name;
  }
}

TEST_F(ListOpenTabsTest, ChromiumNewestReadableSessionFile) {
  chromium(".config/chromium", SnssWriter().tab(1, 1, 0, "old"));
  const std::string sessions = ".config/chromium/Default/Sessions/";
  home.write(sessions + "Session_13312345678901235", SnssWriter().tab(1, 1, 0, "newer").bytes());
  home.write(sessions + "Session_9", SnssWriter().tab(1, 1, 0, "shorter number").bytes());
  home.write(sessions + "Tabs_99999999999999999999", SnssWriter().tab(1, 1, 0, "tabs").bytes());
  home.write(sessions + "Session_99999999999999999999x", SnssWriter().tab(1, 1, 0, "no").bytes());
  EXPECT_EQ(urls(), std::vector<std::string>{"newer"});

  // Encrypted or broken newer files give way to the next older one.
  home.write(sessions + "Session_13312345678901236", SnssWriter(4).bytes());
  home.write(sessions + "Session_013312345678901237", "SNS");
  EXPECT_EQ(urls(), std::vector<std::string>{"newer"});
}

TEST_F(ListOpenTabsTest, ChromiumOlderCurrentSessionLayout) {
  home.link(".config/chromium/SingletonLock", LiveChromiumLock());
  home.write(".config/chromium/Default/Current Session",
             SnssWriter(1).tab(1, 1, 0, "current session").bytes());
  EXPECT_EQ(urls(), std::vector<std::string>{"current session"});
}

// What a live Chromium 156 left in its user data folder, trimmed to the files
// read here and the encrypted copy to its first records: two tabs of one
// window, kept plainly and encrypted.
TEST_F(ListOpenTabsTest, FilesOfALiveChromium) {
  const std::filesystem::path userDataDir = home.path() / ".config/chromium";
  std::filesystem::create_directories(userDataDir);
  std::filesystem::copy(QUILLO_TEST_DATA "/chromium-156", userDataDir,
                        std::filesystem::copy_options::recursive);
  home.link(".config/chromium/SingletonLock", LiveChromiumLock());
  EXPECT_EQ(urls(), (std::vector<std::string>{"http://other.example/",
                                              "http://listings.example/servlet/result1.html"}));

  // A later rollout stage writes only the encrypted copy.
  std::filesystem::remove_all(userDataDir / "Default/Sessions");
  const std::string message = failure();
  EXPECT_NE(message.find("Sessions_Encrypted/Session_13441285792514540: encrypted session file"),
            std::string::npos)
      << message;
}

TEST_F(ListOpenTabsTest, UnreadableChromiumSessionRaises) {
  chromium(".config/chromium", SnssWriter());
  home.write(".config/chromium/Default/Sessions/Session_13312345678901234",
             std::string("SNSX\1\0\0\0", 8));
  const std::string message = failure();
  EXPECT_NE(message.find("Session_13312345678901234: not a session file (bad magic)"),
            std::string::npos)
      << message;

  home.write(".config/chromium/Default/Sessions/Session_13312345678901234", "SNS");
  EXPECT_NE(failure().find("too short"), std::string::npos);

  std::filesystem::remove_all(home.path() / ".config/chromium/Default");
  EXPECT_NE(failure().find("Current Session: file not found"), std::string::npos);
}

}  // namespace
}  // namespace quillo::browser
