#include <gtest/gtest.h>

#include "base/Error.h"
#include "core/DownloadRun.h"
#include "core/SiteRoot.h"
#include "core/TextRules.h"
#include "core/Texts.h"
#include "platform/Tls.h"
#include "support/LoopbackSite.h"
#include "support/Pages.h"

namespace quillo {
namespace {

using testing::Anchor;
using testing::kHeadOk;
using testing::LoopbackSite;
using testing::Page;
using testing::Reply;
using testing::ServePages;

const std::string kSiteHost(kSiteRoot.substr(7));

// Records every RunView call in order, and the lines as a window shows them.
class RecordingView : public RunView {
 public:
  std::string url;
  std::vector<std::string> lines{"Memo1"};
  std::vector<std::string> statuses;
  std::vector<std::string> calls;

  std::string urlText() override {
    calls.push_back("url");
    return url;
  }
  void setStatus(std::string_view s) override {
    calls.push_back("status");
    statuses.emplace_back(s);
  }
  void clearLines() override {
    calls.push_back("clear");
    lines.clear();
  }
  void appendLine(std::string_view line) override {
    calls.push_back("line");
    lines.emplace_back(line);
  }
};

std::string Progress(int page, int total) {
  return text::Format(texts::kPageProgressFormat, {page, total});
}

class DownloadRunTest : public ::testing::Test {
 protected:
  void serve(std::vector<Reply> replies) {
    site_.emplace(std::move(replies), std::vector<std::string>{kSiteHost});
  }
  std::string run() {
    try {
      DownloadRun(view_, links_, site_->sockets(), net::SystemTls());
    } catch (const Error& e) {
      return e.message();
    }
    return {};
  }
  std::vector<std::string> requestedPaths() const {
    std::vector<std::string> paths;
    for (const auto& r : site_->requests()) {
      if (r.rfind("GET ", 0) == 0) paths.push_back(r.substr(4, r.find(' ', 4) - 4));
    }
    return paths;
  }

  std::optional<LoopbackSite> site_;
  RecordingView view_;
  PageLinkList links_{"left over"};
};

TEST_F(DownloadRunTest, FetchesTheFirstPageAndEveryLinkedPageInOrder) {
  serve(ServePages({Page({Anchor("/servlet/p2", "2"), Anchor("/servlet/p3", "3"),
                          Anchor("/servlet/p2", "\x8E\x9F\x82\xCC\x83y\x81[\x83W")},
                         {"a1", "a2"}),
                    Page({Anchor("/servlet/p9", "9")}, {"b1"}), Page({}, {"c1", "c2"})}));
  view_.url = "http://" + kSiteHost + "/servlet/p1";
  EXPECT_EQ(run(), "");
  EXPECT_EQ(view_.lines, (std::vector<std::string>{"a1", "a2", "b1", "c1", "c2"}));
  EXPECT_EQ(view_.statuses, (std::vector<std::string>{
                                std::string(texts::kDownloadStart), Progress(1, 3), Progress(2, 3),
                                Progress(3, 3), std::string(texts::kDownloadDone)}));
  EXPECT_EQ(view_.statuses[1],
            "\x20"
            "1\x83y\x81[\x83W\x96\xDA / \x91S 3\x83y\x81[\x83W \x8F\x88\x97\x9D\x8AJ\x8En");
  // Links come from the first page only.
  EXPECT_EQ(links_, (PageLinkList{std::string(kSiteRoot) + "/servlet/p2",
                                  std::string(kSiteRoot) + "/servlet/p3"}));
  EXPECT_EQ(requestedPaths(),
            (std::vector<std::string>{"/servlet/p1", "/servlet/p2", "/servlet/p3"}));
  // The previous lines stay visible until the first page has arrived.
  EXPECT_EQ(std::vector<std::string>(view_.calls.begin(), view_.calls.begin() + 4),
            (std::vector<std::string>{"status", "url", "status", "clear"}));
}

TEST_F(DownloadRunTest, DuplicateLinkIsFetchedTwice) {
  serve(ServePages({Page({Anchor("/servlet/p2", "2"), Anchor("/servlet/p2", "2")}, {"a"}),
                    Page({}, {"b"}), Page({}, {"b"})}));
  view_.url = "http://" + kSiteHost + "/servlet/p1";
  EXPECT_EQ(run(), "");
  EXPECT_EQ(view_.lines, (std::vector<std::string>{"a", "b", "b"}));
  EXPECT_EQ(view_.statuses[1], Progress(1, 3));
}

// How a run ends: the peer's answers, the lines left shown, the status left
// and the message. A page not had is an error naming it; before the first
// page is had nothing of the previous run is cleared.
struct Outcome {
  const char* name;
  std::string url;
  std::vector<Reply> replies;
  std::vector<std::string> lines;
  std::string status;
  std::string message;
};

void PrintTo(const Outcome& outcome, std::ostream* out) { *out << outcome.name; }

class RunOutcome : public DownloadRunTest, public ::testing::WithParamInterface<Outcome> {};

const std::string kP1 = "http://" + kSiteHost + "/servlet/p1";
const std::string kP2 = std::string(kSiteRoot) + "/servlet/p2";
const std::string kFirst = Page({Anchor("/servlet/p2", "2"), Anchor("/servlet/p3", "3")}, {"a1"});
const std::string kStart(texts::kDownloadStart);
const std::string kNoScheme = "The address must begin with http:// or https://";

const Outcome kOutcomes[] = {
    {"EmptyField", "", {}, {"Memo1"}, kStart, kNoScheme},
    {"NoScheme", kSiteHost + "/servlet/p1", {}, {"Memo1"}, kStart, kNoScheme},
    {"SchemeTypo", "htp://" + kSiteHost + "/servlet/p1", {}, {"Memo1"}, kStart, kNoScheme},
    {"UnknownHost",
     "http://unknown-host.invalid/servlet/p1",
     {},
     {"Memo1"},
     kStart,
     "[unknown-host.invalid] IS INVALID ADDRSS."},
    {"FirstPageGone",
     kP1,
     {{"HTTP/1.0 404 Not Found\r\n\r\n"}},
     {"Memo1"},
     kStart,
     "The server answered \"404 Not Found\" for " + kP1},
    {"FurtherPageRefused",
     kP1,
     {{kHeadOk}, {kFirst}, {"HTTP/1.0 403 Forbidden\r\n\r\n"}},
     {"a1"},
     Progress(2, 3),
     "The server answered \"403 Forbidden\" for " + kP2},
    {"FurtherPageMovedToALogin",
     kP1,
     {{kHeadOk}, {kFirst}, {"HTTP/1.0 302 Found\r\nLocation: /login\r\n\r\n"}},
     {"a1"},
     Progress(2, 3),
     "The server answered \"302 Found\" for " + kP2 + " (Location: /login)"},
    {"FurtherPageChangedAfterTheProbe",
     kP1,
     {{kHeadOk}, {kFirst}, {kHeadOk}, {"HTTP/1.0 500 Internal Server Error\r\n\r\n"}},
     {"a1"},
     Progress(2, 3),
     "The server answered \"500 Internal Server Error\" for " + kP2},
    {"FurtherPageCutShort",
     kP1,
     {{kHeadOk},
      {kFirst},
      {kHeadOk},
      {"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + testing::Entry("b1")}},
     {"a1"},
     Progress(2, 3),
     kP2 + " ended after 138 of 1000 bytes"},
    {"FurtherPageReset",
     kP1,
     {{kHeadOk}, {kFirst}, {"", 0, true}},
     {"a1"},
     Progress(2, 3),
     "Connection reset by peer"},
    {"FurtherPageNeverEnds",
     kP1,
     {{kHeadOk},
      {kFirst},
      {kHeadOk},
      {std::string(std::size_t{1} << 16, 'x'), 0, false, false, true}},
     {"a1"},
     Progress(2, 3),
     "The page is larger than the limit of 256 MiB"},
    {"ReasonlessStatusIsAPage",
     kP1,
     {{kHeadOk},
      {kFirst},
      {"HTTP/1.0 200\r\n\r\n"},
      {Page({}, {"b1"})},
      {kHeadOk},
      {"HTTP/1.0 200\r\nContent-Length: 0\r\n\r\n"}},
     {"a1", "b1"},
     std::string(texts::kDownloadDone),
     ""},
};

TEST_P(RunOutcome, LeavesItsLinesStatusAndMessage) {
  const Outcome& outcome = GetParam();
  serve(outcome.replies);
  view_.url = outcome.url;
  EXPECT_EQ(run(), outcome.message);
  EXPECT_EQ(view_.lines, outcome.lines);
  EXPECT_EQ(view_.statuses.back(), outcome.status);
  if (outcome.lines == std::vector<std::string>{"Memo1"}) {
    EXPECT_EQ(links_, PageLinkList{"left over"});
    EXPECT_EQ(view_.statuses.size(), 1u);
  } else {
    EXPECT_EQ(links_, (PageLinkList{kP2, std::string(kSiteRoot) + "/servlet/p3"}));
  }
  EXPECT_EQ(site_->sockets().openSockets(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, RunOutcome, ::testing::ValuesIn(kOutcomes),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(DownloadRunTest, HundredFurtherPagesTakeThreeDigits) {
  std::vector<std::string> anchors;
  for (int i = 2; i <= 101; ++i) anchors.push_back(Anchor("/servlet/p" + std::to_string(i), "n"));
  std::vector<std::string> pages{Page(anchors, {"first"})};
  for (int i = 2; i <= 101; ++i) pages.push_back(Page({}, {"line " + std::to_string(i)}));
  serve(ServePages(pages));
  view_.url = "http://" + kSiteHost + "/servlet/p1";
  EXPECT_EQ(run(), "");
  ASSERT_EQ(view_.lines.size(), 101u);
  EXPECT_EQ(view_.lines.back(), "line 101");
  ASSERT_EQ(view_.statuses.size(), 103u);
  EXPECT_EQ(view_.statuses[1], Progress(1, 101));
  EXPECT_EQ(view_.statuses[1].substr(0, 2), " 1");
  EXPECT_NE(view_.statuses[1].find("\x91S"
                                   "101"),
            std::string::npos);
  EXPECT_EQ(view_.statuses[99].substr(0, 3), "99\x83");
  EXPECT_EQ(view_.statuses[100].substr(0, 3), "100");
}

}  // namespace
}  // namespace quillo
