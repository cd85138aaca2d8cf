#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Error.h"
#include "core/BrowserUrl.h"
#include "core/SiteRoot.h"
#include "platform/OpenTabList.h"
#include "platform/ShellWindows.h"

namespace quillo::shell {
namespace {

namespace fs = std::filesystem;
using browser::OpenTab;

std::vector<std::u16string> Addresses(ShellWindowList& list) {
  std::int32_t count = -1;
  EXPECT_FALSE(list.count(count).failed());
  std::vector<std::u16string> addresses;
  for (std::int32_t i = 0; i < count; ++i) {
    std::unique_ptr<ShellItem> item;
    EXPECT_FALSE(list.item(i, item).failed());
    std::unique_ptr<WebBrowser> browser = item->browser();
    EXPECT_TRUE(browser);
    std::u16string url;
    EXPECT_FALSE(browser->locationUrl(url).failed());
    addresses.push_back(url);
  }
  return addresses;
}

TEST(OpenTabList, EveryTabIsABrowserWindowInOrder) {
  int reads = 0;
  auto list = MakeOpenTabList([&] {
    ++reads;
    return std::vector<OpenTab>{{"Firefox", "/p", "http://a.example/"},
                                {"Firefox", "/p", "http://b.example/\xE6\xA4\x9C"},
                                {"Chromium", "/q", "http://c.example/"}};
  });
  EXPECT_EQ(Addresses(*list),
            (std::vector<std::u16string>{u"http://a.example/", u"http://b.example/検",
                                         u"http://c.example/"}));

  // Past the end: no window, as the shell answers for one that closed.
  std::unique_ptr<ShellItem> item;
  const CallResult past = list->item(3, item);
  EXPECT_EQ(past.code, kFalse);
  EXPECT_FALSE(item);
  EXPECT_EQ(reads, 1);  // one snapshot for the whole walk
}

TEST(OpenTabList, UnreadableSessionsFailTheCountWithTheirMessage) {
  const std::vector<std::function<std::vector<OpenTab>()>> sources = {
      []() -> std::vector<OpenTab> { throw Error("recovery.jsonlz4: bad magic"); },
      []() -> std::vector<OpenTab> { throw std::runtime_error("recovery.jsonlz4: bad magic"); },
  };
  for (const auto& source : sources) {
    auto list = MakeOpenTabList(source);
    std::int32_t count = -1;
    const CallResult result = list->count(count);
    EXPECT_EQ(result.code, kFail);
    EXPECT_EQ(result.description, "recovery.jsonlz4: bad magic");
    std::unique_ptr<ShellItem> item;
    EXPECT_TRUE(list->item(0, item).failed());
    EXPECT_FALSE(item);
  }
}

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

class Utf16FromUtf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf16FromUtf8Test, Converts) { EXPECT_EQ(Utf16FromUtf8(GetParam().utf8), GetParam().utf16); }

INSTANTIATE_TEST_SUITE_P(
    Rows, Utf16FromUtf8Test,
    testing::Values(Utf8Case{"Ascii", "http://a/?q=1", u"http://a/?q=1"},
                    Utf8Case{"TwoAndThreeBytes", "\xC3\xA9\xE6\xA4\x9C", u"\u00E9\u691C"},
                    Utf8Case{"FourBytesMakeASurrogatePair", "\xF0\x9F\x98\x80", u"\U0001F600"},
                    Utf8Case{"InvalidByte",
                             "a\xFF"
                             "b",
                             u"a\uFFFDb"},
                    Utf8Case{"TruncatedAtTheEnd", "a\xE6\xA4", u"a\uFFFD"},
                    Utf8Case{"TruncatedBeforeAscii", "\xE6\xA4/", u"\uFFFD/"},
                    Utf8Case{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
                    Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"PastTheLastCodePoint", "\xF4\x90\x80\x80",
                             u"\uFFFD\uFFFD\uFFFD\uFFFD"}),
    [](const testing::TestParamInfo<Utf8Case>& row) { return row.param.name; });

// The platform's own list over a temporary home folder, with a Firefox
// profile that this test process holds open.
class SystemListTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillo-home-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
    const char* home = std::getenv("HOME");
    savedHome_ = home != nullptr ? home : "";
    ::setenv("HOME", home_.c_str(), 1);
  }

  void TearDown() override {
    ::setenv("HOME", savedHome_.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(home_, ignored);
  }

  // A running profile whose live session file holds content.
  void RunningFirefox(const std::string& session) {
    const fs::path root = home_ / ".mozilla" / "firefox";
    const fs::path profile = root / "test.default";
    fs::create_directories(profile / "sessionstore-backups");
    std::ofstream(root / "profiles.ini")
        << "[Profile0]\nName=default\nIsRelative=1\nPath=test.default\n";
    fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()), profile / "lock");
    std::ofstream(profile / "sessionstore-backups" / "recovery.jsonlz4", std::ios::binary)
        << session;
  }

  // mozLz4 with one LZ4 block of literals only: valid, if not compressed.
  static std::string MozLz4(const std::string& content) {
    std::string file("mozLz40\0", 8);
    const auto size = static_cast<std::uint32_t>(content.size());
    for (int shift = 0; shift < 32; shift += 8) file += static_cast<char>((size >> shift) & 0xFF);
    file += static_cast<char>(std::min<std::size_t>(content.size(), 15) << 4);
    if (content.size() >= 15) {
      std::size_t rest = content.size() - 15;
      for (; rest >= 255; rest -= 255) file += '\xFF';
      file += static_cast<char>(rest);
    }
    return file + content;
  }

  fs::path home_;
  std::string savedHome_;
};

TEST_F(SystemListTest, NoBrowserRunningFindsNothing) {
  EXPECT_EQ(GetBrowserUrl(SystemShell(), {std::string(kSiteRoot) + "/"}), "");
}

TEST_F(SystemListTest, FindsTheSitePageAmongTheOpenTabs) {
  const std::string site = std::string(kSiteRoot) + "/lite/list?p=2";
  RunningFirefox(MozLz4(R"({"windows":[{"tabs":[)"
                        R"({"entries":[{"url":"http://other.example/"}],"index":1},)"
                        R"({"entries":[{"url":"about:blank"},{"url":")" +
                        site + R"("}],"index":2}]}]})"));
  EXPECT_EQ(GetBrowserUrl(SystemShell(), {std::string(kSiteRoot) + "/"}), site);
  EXPECT_EQ(GetBrowserUrl(SystemShell(), {""}), "http://other.example/");
}

TEST_F(SystemListTest, UnreadableSessionIsReportedWithItsFile) {
  RunningFirefox("not a session");
  try {
    GetBrowserUrl(SystemShell(), {std::string(kSiteRoot) + "/"});
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_NE(e.message().find("recovery.jsonlz4"), std::string::npos) << e.message();
  }
}

}  // namespace
}  // namespace quillo::shell
