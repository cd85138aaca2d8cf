// The table of browser places over a throw-away AppData: each row's browser
// running alone, with the session files a live Chromium 156 or Firefox ESR
// 153 wrote and its lock held as that browser holds it; then all at once.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/browser/BrowserSessions.h"

namespace quillo::browser {
namespace {

const std::vector<std::string> kFirefoxUrls = {"http://listings.example/servlet/result2.html",
                                               "http://other.example/"};
const std::vector<std::string> kChromiumUrls = {"http://other.example/",
                                                "http://listings.example/servlet/result1.html"};

// Every row of the table, in its order. Opera keeps its profile in the
// root folder itself.
const struct Row {
  const char* browser;
  const wchar_t* root;
} kRows[] = {
    {"Firefox", L"Roaming\\Mozilla\\Firefox"},
    {"Google Chrome", L"Local\\Google\\Chrome\\User Data"},
    {"Microsoft Edge", L"Local\\Microsoft\\Edge\\User Data"},
    {"Chromium", L"Local\\Chromium\\User Data"},
    {"Brave", L"Local\\BraveSoftware\\Brave-Browser\\User Data"},
    {"Vivaldi", L"Local\\Vivaldi\\User Data"},
    {"Opera", L"Roaming\\Opera Software\\Opera Stable"},
    {"Opera GX", L"Roaming\\Opera Software\\Opera GX Stable"},
    {"Google Chrome Beta", L"Local\\Google\\Chrome Beta\\User Data"},
    {"Google Chrome Dev", L"Local\\Google\\Chrome Dev\\User Data"},
    {"Google Chrome Canary", L"Local\\Google\\Chrome SxS\\User Data"},
    {"Microsoft Edge Beta", L"Local\\Microsoft\\Edge Beta\\User Data"},
    {"Microsoft Edge Dev", L"Local\\Microsoft\\Edge Dev\\User Data"},
    {"Microsoft Edge Canary", L"Local\\Microsoft\\Edge SxS\\User Data"},
};

bool IsFirefox(const Row& row) { return std::string_view(row.browser) == "Firefox"; }

class AppData {
 public:
  AppData() {
    static int serial = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("quillo-appdata-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(++serial));
    std::filesystem::create_directories(path_);
  }
  ~AppData() {
    stopBrowsers();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  AppData(const AppData&) = delete;
  AppData& operator=(const AppData&) = delete;

  BrowserPlaces places() const { return WindowsBrowserPlaces(path_ / "Roaming", path_ / "Local"); }

  // The row's browser running: its files in place, its lock held as it holds
  // it (Firefox: parent.lock shared with nobody; the Chromium family:
  // lockfile shared for reading, deleted when closed).
  void runBrowser(const Row& row) {
    const std::filesystem::path root = path_ / row.root;
    const auto recursive = std::filesystem::copy_options::recursive;
    if (IsFirefox(row)) {
      std::filesystem::create_directories(root / "Profiles/p");
      std::ofstream(root / "profiles.ini") << "[Profile0]\r\nName=p\r\nIsRelative=1\r\n"
                                              "Path=Profiles/p\r\n";
      std::filesystem::copy(QUILLO_TEST_DATA "/firefox-esr-153", root / "Profiles/p", recursive);
      hold(root / "Profiles/p/parent.lock", 0, OPEN_ALWAYS, 0);
      return;
    }
    std::filesystem::create_directories(root);
    std::filesystem::copy(QUILLO_TEST_DATA "/chromium-156", root, recursive);
    if (std::string_view(row.browser).starts_with("Opera")) {
      std::filesystem::rename(root / "Default/Sessions", root / "Sessions");
      std::filesystem::remove_all(root / "Default");
    }
    hold(root / "lockfile", FILE_SHARE_READ, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE);
  }

  void stopBrowsers() {
    for (const HANDLE lock : locks_) CloseHandle(lock);
    locks_.clear();
  }

 private:
  void hold(const std::filesystem::path& file, DWORD share, DWORD disposition, DWORD flags) {
    const HANDLE lock = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                    disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE) << file;
    locks_.push_back(lock);
  }

  std::filesystem::path path_;
  std::vector<HANDLE> locks_;
};

TEST(BrowserPlaces, EveryRowAloneThenAllInOrder) {
  AppData together;
  std::vector<std::string> expected;
  for (const Row& row : kRows) {
    AppData appData;
    appData.runBrowser(row);
    const std::vector<std::string>& urls = IsFirefox(row) ? kFirefoxUrls : kChromiumUrls;
    std::vector<std::string> found;
    for (const OpenTab& tab : ListOpenTabs(appData.places())) {
      EXPECT_EQ(tab.browser, row.browser);
      found.push_back(tab.url);
    }
    EXPECT_EQ(found, urls) << row.browser;
    appData.stopBrowsers();
    EXPECT_TRUE(ListOpenTabs(appData.places()).empty()) << row.browser << " ended";

    together.runBrowser(row);
    for (const std::string& url : urls) expected.push_back(std::string(row.browser) + " " + url);
  }
  std::vector<std::string> found;
  for (const OpenTab& tab : ListOpenTabs(together.places()))
    found.push_back(tab.browser + " " + tab.url);
  EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace quillo::browser
