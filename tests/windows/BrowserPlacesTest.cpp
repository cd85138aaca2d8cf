// The table of browser places over a throw-away AppData: every row's browser
// running, with the session files a live Chromium 156 or Firefox ESR 153
// wrote and its lock held as that browser holds it.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
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

// The row's browser running in the AppData folder appData: its files in
// place, its lock held as it holds it (Firefox: parent.lock shared with
// nobody; the Chromium family: lockfile shared for reading).
HANDLE RunBrowser(const std::filesystem::path& appData, const Row& row) {
  const std::filesystem::path root = appData / row.root;
  const auto recursive = std::filesystem::copy_options::recursive;
  std::filesystem::path lock = root / "lockfile";
  DWORD share = FILE_SHARE_READ;
  if (IsFirefox(row)) {
    std::filesystem::create_directories(root / "Profiles/p");
    std::ofstream(root / "profiles.ini") << "[Profile0]\r\nIsRelative=1\r\nPath=Profiles/p\r\n";
    std::filesystem::copy(QUILLO_TEST_DATA "/firefox-esr-153", root / "Profiles/p", recursive);
    lock = root / "Profiles/p/parent.lock";
    share = 0;
  } else {
    std::filesystem::create_directories(root);
    std::filesystem::copy(QUILLO_TEST_DATA "/chromium-156", root, recursive);
    if (std::string_view(row.browser).starts_with("Opera")) {
      std::filesystem::rename(root / "Default/Sessions", root / "Sessions");
      std::filesystem::remove_all(root / "Default");
    }
  }
  return CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(BrowserPlaces, EveryRowRunningInOrder) {
  const std::filesystem::path appData = std::filesystem::temp_directory_path() /
                                        ("quillo-appdata-" + std::to_string(GetCurrentProcessId()));
  std::vector<HANDLE> locks;
  std::vector<std::string> expected;
  for (const Row& row : kRows) {
    locks.push_back(RunBrowser(appData, row));
    ASSERT_NE(locks.back(), INVALID_HANDLE_VALUE) << row.browser;
    for (const std::string& url : IsFirefox(row) ? kFirefoxUrls : kChromiumUrls)
      expected.push_back(std::string(row.browser) + " " + url);
  }
  std::vector<std::string> found;
  for (const OpenTab& tab :
       ListOpenTabs(WindowsBrowserPlaces(appData / "Roaming", appData / "Local")))
    found.push_back(tab.browser + " " + tab.url);
  EXPECT_EQ(found, expected);
  for (const HANDLE lock : locks) CloseHandle(lock);
  std::filesystem::remove_all(appData);
}

}  // namespace
}  // namespace quillo::browser
