#include "platform/browser/SnssSession.h"

#include <gtest/gtest.h>

#include <functional>

#include "SessionFixtures.h"
#include "base/Error.h"

namespace quillo::browser {
namespace {

using testing::SnssWriter;

struct ReplayCase {
  const char* name;
  std::function<void(SnssWriter&)> write;
  std::vector<std::string> urls;
};

class SnssReplayTest : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(SnssReplayTest, ListsOpenTabs) {
  SnssWriter writer;
  GetParam().write(writer);
  EXPECT_EQ(SnssSessionUrls(writer.bytes()), GetParam().urls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnssReplayTest,
    ::testing::Values(
        ReplayCase{"WindowsByIdTabsByIndex",
                   [](SnssWriter& w) {
                     w.tab(9, 1, 1, "w9-second").tab(9, 2, 0, "w9-first").tab(3, 3, 0, "w3");
                   },
                   {"w3", "w9-first", "w9-second"}},
        ReplayCase{"SelectedNavigationWins",
                   [](SnssWriter& w) {
                     w.setTabWindow(1, 5)
                         .navigation(5, 0, "a")
                         .navigation(5, 1, "b")
                         .navigation(5, 2, "c")
                         .selectNavigation(5, 1);
                   },
                   {"b"}},
        ReplayCase{"LaterNavigationUpdateReplaces",
                   [](SnssWriter& w) { w.tab(1, 5, 0, "first").navigation(5, 0, "again"); },
                   {"again"}},
        ReplayCase{
            "NoSelectionMeansFirst",
            [](SnssWriter& w) { w.setTabWindow(1, 5).navigation(5, 0, "a").navigation(5, 1, "b"); },
            {"a"}},
        ReplayCase{
            "SelectionBeyondHistoryMeansLast",
            [](SnssWriter& w) {
              w.setTabWindow(1, 5).navigation(5, 0, "a").navigation(5, 1, "b").selectNavigation(5,
                                                                                                40);
            },
            {"b"}},
        ReplayCase{"ClosedTab",
                   [](SnssWriter& w) { w.tab(1, 1, 0, "gone").tab(1, 2, 1, "kept").tabClosed(1); },
                   {"kept"}},
        ReplayCase{
            "ClosedWindow",
            [](SnssWriter& w) { w.tab(1, 1, 0, "gone").tab(2, 2, 0, "kept").windowClosed(1); },
            {"kept"}},
        ReplayCase{"TabMovedOutOfClosedWindow",
                   [](SnssWriter& w) {
                     w.tab(1, 1, 0, "moved")
                         .tab(2, 2, 0, "other")
                         .setTabWindow(2, 1)
                         .setTabIndex(1, 1)
                         .windowClosed(1);
                   },
                   {"other", "moved"}},
        ReplayCase{"TabWithoutWindowOrNavigation",
                   [](SnssWriter& w) {
                     w.navigation(7, 0, "no window").setTabWindow(1, 8).tab(1, 9, 0, "kept");
                   },
                   {"kept"}},
        ReplayCase{"PrunedBeforeSelectedShiftsDown",
                   [](SnssWriter& w) {
                     w.setTabWindow(1, 5)
                         .navigation(5, 0, "a")
                         .navigation(5, 1, "b")
                         .navigation(5, 2, "c")
                         .navigation(5, 3, "d")
                         .selectNavigation(5, 3)
                         .pruned(5, 0, 2)
                         .navigation(5, 1, "d2");
                   },
                   {"d2"}},
        ReplayCase{"PrunedAfterSelected",
                   [](SnssWriter& w) {
                     w.setTabWindow(1, 5)
                         .navigation(5, 0, "a")
                         .navigation(5, 1, "b")
                         .navigation(5, 2, "c")
                         .selectNavigation(5, 0)
                         .pruned(5, 1, 2)
                         .selectNavigation(5, 1);
                   },
                   {"a"}},
        ReplayCase{"PrunedSelectedFallsBack",
                   [](SnssWriter& w) {
                     w.setTabWindow(1, 5)
                         .navigation(5, 0, "a")
                         .navigation(5, 1, "b")
                         .navigation(5, 2, "c")
                         .selectNavigation(5, 1)
                         .pruned(5, 1, 1);
                   },
                   {"a"}},
        ReplayCase{"PrunedEverything",
                   [](SnssWriter& w) { w.tab(1, 5, 0, "a").pruned(5, 0, 3).tab(1, 6, 1, "kept"); },
                   {"kept"}},
        ReplayCase{"BadPruneIgnored",
                   [](SnssWriter& w) { w.tab(1, 5, 0, "a").pruned(5, -1, 1).pruned(5, 0, 0); },
                   {"a"}},
        ReplayCase{"UnknownAndShortRecordsSkipped",
                   [](SnssWriter& w) {
                     w.record(255, "")
                         .record(9, "12345678")
                         .record(0, "\x01")
                         .record(6, "\x40")
                         .record(6, std::string("\x0c\0\0\0\x05\0\0\0\0\0\0\0\xff\xff\xff\x7f", 16))
                         .tab(1, 1, 0, "kept");
                   },
                   {"kept"}},
        ReplayCase{"TruncatedLastRecord",
                   [](SnssWriter& w) {
                     // Cut short, as a reader racing the writer sees it.
                     w.tab(1, 1, 0, "kept").record(6, std::string(40, 'x')).dropLast(10);
                   },
                   {"kept"}},
        ReplayCase{"ZeroSizeRecordEndsLog",
                   [](SnssWriter& w) {
                     w.tab(1, 1, 0, "kept").raw(std::string(2, '\0')).tab(1, 2, 1, "after");
                   },
                   {"kept"}}),
    [](const auto& row) { return row.param.name; });

TEST(SnssSessionTest, OlderVersionWithoutMarkersReads) {
  SnssWriter writer(1);
  writer.tab(1, 1, 0, "http://listings.example/lite/");
  EXPECT_EQ(SnssSessionUrls(writer.bytes()),
            std::vector<std::string>{"http://listings.example/lite/"});
}

TEST(SnssSessionTest, RefusesBadHeaders) {
  const struct {
    std::string file;
    const char* reason;
  } cases[] = {
      {"SNS", "too short"},
      {"SNSX" + SnssWriter().bytes().substr(4), "bad magic"},
      {SnssWriter(2).bytes(), "encrypted"},
      {SnssWriter(4).bytes(), "encrypted"},
      {SnssWriter(5).bytes(), "encrypted"},
      {SnssWriter(7).bytes(), "version 7"},
  };
  for (const auto& c : cases) {
    try {
      SnssSessionUrls(c.file);
      ADD_FAILURE() << "accepted " << c.reason;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

TEST(SnssSessionTest, EndlessPruningIsCutShort) {
  SnssWriter writer;
  writer.setTabWindow(1, 1);
  for (int i = 0; i < 3000; ++i) writer.navigation(1, 1000 + i, "n");
  for (int i = 0; i < 3000; ++i) writer.pruned(1, 0, 1);
  EXPECT_THROW(SnssSessionUrls(writer.bytes()), Error);
}

}  // namespace
}  // namespace quillo::browser
