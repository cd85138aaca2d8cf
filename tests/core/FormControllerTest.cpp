// What both windows do, through a recording view: the buttons' effects on
// the URL field, the error box, and a close during a run.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "core/FormController.h"
#include "core/SiteRoot.h"
#include "core/Texts.h"
#include "platform/Info.h"
#include "support/FakeShell.h"
#include "support/LoopbackSite.h"

namespace quillo {
namespace {

using shell::testing::FakeShell;
using shell::testing::FakeWindow;
using testing::LoopbackSite;

const std::string kSiteHost(kSiteRoot.substr(7));

class RecordingView : public FormView {
 public:
  std::string url;
  std::vector<std::string> lines{"Memo1"};
  std::string status;
  std::vector<std::string> boxes;  // "title: text"
  std::vector<std::string> events;
  std::function<void()> onProcessEvents;

  std::string urlText() override { return url; }
  void setStatus(std::string_view s) override { status = s; }
  void clearLines() override { lines.clear(); }
  void appendLine(std::string_view line) override { lines.emplace_back(line); }
  void setUrlText(std::string_view u) override { url = u; }
  void showError(std::string_view text, std::string_view title) override {
    boxes.push_back(std::string(title) + ": " + std::string(text));
  }
  void runStarted() override { events.emplace_back("started"); }
  void runEnded() override { events.emplace_back("ended"); }
  void processEvents() override {
    if (onProcessEvents) onProcessEvents();
  }
  void closeWindow() override { events.emplace_back("closed"); }
};

class FormControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { form_.FormCreate(); }
  void TearDown() override { form_.FormDestroy(); }

  LoopbackSite site_{{}, {kSiteHost}};
  FakeShell shell_;
  RecordingView view_;
  FormController form_{Ports{site_.sockets(), shell_, SystemLauncher()}, view_, "quillo"};
};

TEST_F(FormControllerTest, BrowserButtonFillsTheUrlFieldOnlyFromTheFirstMatch) {
  const std::u16string site(kSiteRoot.begin(), kSiteRoot.end());
  shell_.windows = {FakeWindow::Browser(u"http://other.example/servlet/x"),
                    FakeWindow::Browser(u"HTTP://" + site.substr(7) + u"/servlet/list?p=1"),
                    FakeWindow::Browser(site + u"/servlet/second")};
  view_.url = "typed";
  form_.perform(&FormController::SpeedButton2Click);
  EXPECT_EQ(view_.url, "HTTP://" + kSiteHost + "/servlet/list?p=1");

  // No match: what the user typed stays.
  shell_.windows = {FakeWindow::Browser(u"http://other.example/")};
  view_.url = "typed";
  form_.perform(&FormController::SpeedButton2Click);
  EXPECT_EQ(view_.url, "typed");
  EXPECT_TRUE(view_.boxes.empty());

  // An error is shown with the full stop and the application's title; the
  // field stays.
  shell_.windows = {FakeWindow::WithoutBrowser(), FakeWindow::Browser(site + u"/x")};
  form_.perform(&FormController::SpeedButton2Click);
  EXPECT_EQ(view_.url, "typed");
  EXPECT_EQ(view_.boxes, std::vector<std::string>{"quillo: Interface not supported."});
}

TEST_F(FormControllerTest, FailedRunShowsItsErrorAndKeepsTheLines) {
  view_.url = "http://nowhere.invalid/servlet/p1";
  form_.perform(&FormController::SpeedButton3Click);
  // The resolver's message ends in a full stop already.
  EXPECT_EQ(view_.boxes, std::vector<std::string>{"quillo: [nowhere.invalid] IS INVALID ADDRSS."});
  EXPECT_EQ(view_.lines, std::vector<std::string>{"Memo1"});
  EXPECT_EQ(view_.events, (std::vector<std::string>{"started", "ended"}));
  EXPECT_FALSE(form_.running());
}

// A server that accepts and never answers: the close request reaches the
// form while the run waits, ends the run there, and then closes the window,
// with no error shown and the lines on screen kept. A second click while the
// run lasts starts nothing.
TEST_F(FormControllerTest, CloseDuringAStalledRunEndsItAndThenTheWindow) {
  LoopbackSite stalled({{"", 0, false, true}}, {kSiteHost});
  FormController form(Ports{stalled.sockets(), shell_, SystemLauncher()}, view_, "quillo");
  form.FormCreate();
  view_.url = "http://" + kSiteHost + "/servlet/p1";
  int waits = 0;
  view_.onProcessEvents = [&] {
    ++waits;
    form.perform(&FormController::SpeedButton3Click);
    EXPECT_FALSE(form.requestClose());
  };

  const auto start = std::chrono::steady_clock::now();
  form.perform(&FormController::SpeedButton3Click);
  const auto took = std::chrono::steady_clock::now() - start;

  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_EQ(waits, 1);
  EXPECT_EQ(view_.events, (std::vector<std::string>{"started", "ended", "closed"}));
  EXPECT_TRUE(view_.boxes.empty());
  EXPECT_EQ(view_.lines, std::vector<std::string>{"Memo1"});
  EXPECT_EQ(view_.status, texts::kDownloadStart);
  EXPECT_EQ(stalled.requests().size(), 1u);
  EXPECT_EQ(stalled.sockets().openSockets(), 0);
  EXPECT_TRUE(form.requestClose());
  form.FormDestroy();
}

}  // namespace
}  // namespace quillo
