#include "platform/browser/FirefoxSession.h"

#include <gtest/gtest.h>

#include "base/Error.h"

namespace quillo::browser {
namespace {

struct SessionCase {
  const char* name;
  const char* json;
  std::vector<std::string> urls;
};

class FirefoxSessionUrlsTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(FirefoxSessionUrlsTest, ListsCurrentEntries) {
  EXPECT_EQ(FirefoxSessionUrls(GetParam().json), GetParam().urls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirefoxSessionUrlsTest,
    ::testing::Values(
        SessionCase{"WindowsThenTabsInOrder",
                    R"({"windows":[{"tabs":[{"entries":[{"url":"a"}],"index":1},
                                            {"entries":[{"url":"b"}],"index":1}]},
                                   {"tabs":[{"entries":[{"url":"c"}],"index":1}]}]})",
                    {"a", "b", "c"}},
        SessionCase{"IndexPicksHistoryEntry",
                    R"({"windows":[{"tabs":[{"entries":[{"url":"old"},{"url":"now"},
                                                        {"url":"fwd"}],"index":2}]}]})",
                    {"now"}},
        SessionCase{"IndexClampedBothWays",
                    R"({"windows":[{"tabs":[{"entries":[{"url":"a"},{"url":"b"}],"index":0},
                                            {"entries":[{"url":"c"},{"url":"d"}],"index":-7},
                                            {"entries":[{"url":"e"},{"url":"f"}],"index":99},
                                            {"entries":[{"url":"g"},{"url":"h"}],"index":1e300}]}]})",
                    {"a", "c", "f", "h"}},
        SessionCase{"MissingOrOddIndexMeansNewest",
                    R"({"windows":[{"tabs":[{"entries":[{"url":"a"},{"url":"b"}]},
                                            {"entries":[{"url":"c"},{"url":"d"}],"index":"1"}]}]})",
                    {"b", "d"}},
        SessionCase{"TabsWithoutAddressPassedOver",
                    R"({"windows":[{"tabs":[{"entries":[],"index":1},{"index":1},
                                            {"entries":[{"title":"x"}],"index":1},
                                            {"entries":[{"url":""}],"index":1},
                                            {"entries":[{"url":42}],"index":1},
                                            {"entries":["x"],"index":1},
                                            "tab",
                                            {"entries":[{"url":"kept"}],"index":1}]}]})",
                    {"kept"}},
        SessionCase{"ClosedWindowsAndLastSessionIgnored",
                    R"({"windows":[{"tabs":[{"entries":[{"url":"open"}],"index":1}],
                                    "_closedTabs":[{"state":{"entries":[{"url":"closed tab"}]}}]}],
                        "_closedWindows":[{"tabs":[{"entries":[{"url":"closed"}],"index":1}]}],
                        "lastSessionState":{"windows":[{"tabs":[{"entries":[{"url":"last"}]}]}]}})",
                    {"open"}},
        SessionCase{"NestedChildEntriesNotTaken",
                    R"({"windows":[{"tabs":[{"entries":[{"url":"top",
                        "children":[{"url":"frame"}]}],"index":1}]}]})",
                    {"top"}},
        SessionCase{"NoWindows", R"({"version":["sessionrestore",1]})", {}},
        SessionCase{
            "Utf8KeptAsStored",
            R"({"windows":[{"tabs":[{"entries":[{"url":"http://x/\u691c\u7d22"}],"index":1}]}]})",
            {"http://x/\xe6\xa4\x9c\xe7\xb4\xa2"}}),
    [](const auto& row) { return row.param.name; });

TEST(FirefoxSessionUrlsTest, RejectsWhatIsNoSession) {
  for (const char* json :
       {"", "{\"windows\":[", "[1,2]", "{\"windows\":{}}", "null", "{\"windows\":[]} trailing"}) {
    EXPECT_THROW(FirefoxSessionUrls(json), Error) << json;
  }
}

TEST(FirefoxSessionUrlsTest, DeepNestingDoesNotCrash) {
  const std::string deep = "{\"_closedWindows\":" + std::string(100000, '[') +
                           std::string(100000, ']') + ",\"windows\":[]}";
  EXPECT_TRUE(FirefoxSessionUrls(deep).empty());
  const std::string deepKept =
      "{\"windows\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_TRUE(FirefoxSessionUrls(deepKept).empty());
  const std::string unclosed = "{\"windows\":" + std::string(100000, '[');
  EXPECT_THROW(FirefoxSessionUrls(unclosed), Error);
  const std::size_t levels = (std::size_t{1} << 20) + 1;
  const std::string tooDeep =
      "{\"_closedWindows\":" + std::string(levels, '[') + std::string(levels, ']') + "}";
  EXPECT_THROW(FirefoxSessionUrls(tooDeep), Error);
}

}  // namespace
}  // namespace quillo::browser
