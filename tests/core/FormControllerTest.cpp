// What both windows do, through a recording view: the buttons' effects on
// the URL field, the error box, and a close during a run.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "core/FormController.h"
#include "core/SiteRoot.h"
#include "core/Texts.h"
#include "platform/Info.h"
#include "platform/Tls.h"
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
  std::function<void()> onSetStatus;

  std::string urlText() override { return url; }
  void setStatus(std::string_view s) override {
    status = s;
    if (onSetStatus) onSetStatus();
  }
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
  FormController form_{Ports{site_.sockets(), net::SystemTls(), shell_, SystemLauncher()}, view_,
                       "quillo"};
};

// The lookup's own rules are GetBrowserUrl's; here: what reaches the field
// and the box.
TEST_F(FormControllerTest, ButtonsFillTheFieldOrShowTheErrorWithTitleAndFullStop) {
  const std::u16string site(kSiteRoot.begin(), kSiteRoot.end());
  view_.url = "typed";
  shell_.windows = {FakeWindow::Browser(u"http://other.example/")};
  form_.perform(&FormController::SpeedButton2Click);
  EXPECT_EQ(view_.url, "typed");
  shell_.windows = {FakeWindow::WithoutBrowser(), FakeWindow::Browser(site + u"/x")};
  form_.perform(&FormController::SpeedButton2Click);
  EXPECT_EQ(view_.url, "typed");
  shell_.windows = {FakeWindow::Browser(site + u"/x")};
  form_.perform(&FormController::SpeedButton2Click);
  EXPECT_EQ(view_.url, std::string(kSiteRoot) + "/x");
  // The site's https form too, the first in the list winning either way.
  const std::u16string host(kSiteHost.begin(), kSiteHost.end());
  shell_.windows = {FakeWindow::Browser(u"https://other.example/"),
                    FakeWindow::Browser(u"HTTPS://" + host + u"/y"),
                    FakeWindow::Browser(site + u"/x")};
  form_.perform(&FormController::SpeedButton2Click);
  EXPECT_EQ(view_.url, "HTTPS://" + kSiteHost + "/y");

  // A failed run keeps the lines; the resolver's message has its full stop.
  view_.url = "http://nowhere.invalid/servlet/p1";
  form_.perform(&FormController::SpeedButton3Click);
  EXPECT_EQ(view_.boxes,
            (std::vector<std::string>{"quillo: Interface not supported.",
                                      "quillo: [nowhere.invalid] IS INVALID ADDRSS."}));
  EXPECT_EQ(view_.lines, std::vector<std::string>{"Memo1"});
  EXPECT_EQ(view_.events, (std::vector<std::string>{"started", "ended"}));
}

// A close heard while the first status text is painted ends the run there:
// no fetch, so no error box for the host that would not resolve.
TEST_F(FormControllerTest, CloseHeardWhilePaintingEndsTheRunThere) {
  view_.url = "http://nowhere.invalid/servlet/p1";
  view_.onSetStatus = [&] { EXPECT_FALSE(form_.requestClose()); };
  form_.perform(&FormController::SpeedButton3Click);
  EXPECT_TRUE(view_.boxes.empty());
  EXPECT_EQ(view_.events, (std::vector<std::string>{"started", "ended", "closed"}));
  EXPECT_EQ(view_.status, texts::kDownloadStart);
}

// A server that accepts and never answers, and one that trickles a page
// without end: the close request reaches the form while the run waits, ends
// the run there, and then closes the window, with no error shown and the
// lines on screen kept. A second click while the run lasts starts nothing.
TEST_F(FormControllerTest, CloseDuringAStalledOrTricklingRunEndsItAndThenTheWindow) {
  const std::vector<std::vector<testing::Reply>> servers{
      {{"", 0, false, true}}, {{testing::kHeadOk}, {"x", 1, false, false, true}}};
  for (const auto& replies : servers) {
    LoopbackSite slow(replies, {kSiteHost});
    RecordingView view;
    FormController form(Ports{slow.sockets(), net::SystemTls(), shell_, SystemLauncher()}, view,
                        "quillo");
    form.FormCreate();
    view.url = "http://" + kSiteHost + "/servlet/p1";
    // The close comes once the server has every request: on a loaded
    // machine the probe's answer may take more than one wait to arrive.
    int waits = 0;
    std::chrono::steady_clock::time_point closed;
    view.onProcessEvents = [&] {
      form.perform(&FormController::SpeedButton3Click);
      if (++waits < 400 && slow.requests().size() < replies.size()) return;
      closed = std::chrono::steady_clock::now();
      EXPECT_FALSE(form.requestClose());
    };

    form.perform(&FormController::SpeedButton3Click);
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(1));
    EXPECT_EQ(view.events, (std::vector<std::string>{"started", "ended", "closed"}));
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.lines, std::vector<std::string>{"Memo1"});
    EXPECT_EQ(view.status, texts::kDownloadStart);
    EXPECT_EQ(slow.requests().size(), replies.size());
    EXPECT_EQ(slow.sockets().openSockets(), 0);
    EXPECT_TRUE(form.requestClose());
    form.FormDestroy();
  }
}

}  // namespace
}  // namespace quillo
