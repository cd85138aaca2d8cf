#include "core/FormController.h"

#include <chrono>
#include <utility>

#include "core/BrowserUrl.h"
#include "core/Launch.h"
#include "core/Messages.h"
#include "core/SiteRoot.h"

namespace quillo {
namespace {

// Thrown from a network wait when the window is to close. Not an Error nor a
// std::exception, so no handler on the way turns it into a message.
struct RunAbandoned {};

// How often a run lets the window show its progress: a frame of a 60 Hz
// screen.
constexpr std::chrono::milliseconds kFrame{16};

}  // namespace

// The run's view while it lasts: the window, and a way out after each of its
// operations and each wait for the network, where the window may have heard
// a close request. Undone however the run ends.
class FormController::RunScope final : public RunView {
 public:
  explicit RunScope(FormController& form) : form_(form) {
    form_.running_ = true;
    form_.view_.runStarted();
    form_.ports_.sockets.setWaitHook([this] { yield(false); });
  }
  ~RunScope() override {
    form_.ports_.sockets.setWaitHook({});
    form_.view_.runEnded();
    form_.running_ = false;
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

  std::string urlText() override { return form_.view_.urlText(); }
  // A new status is shown at once; lines and network waits, which come by
  // the thousand, at most once a frame.
  void setStatus(std::string_view status) override {
    form_.view_.setStatus(status);
    yield(true);
  }
  void clearLines() override { form_.view_.clearLines(); }
  void appendLine(std::string_view line) override {
    form_.view_.appendLine(line);
    yield(false);
  }

 private:
  // The window's slice, the one place that decides when it comes: it shows
  // what changed and hears the desktop, and the run ends here when a close
  // was asked for.
  void yield(bool now) {
    const auto at = std::chrono::steady_clock::now();
    if (now || at - lastSlice_ >= kFrame) {
      form_.view_.processEvents();
      lastSlice_ = std::chrono::steady_clock::now();
    }
    if (form_.closeRequested_) throw RunAbandoned{};
  }

  FormController& form_;
  std::chrono::steady_clock::time_point lastSlice_ = std::chrono::steady_clock::now();
};

FormController::FormController(const Ports& ports, FormView& view, std::string title)
    : ports_(ports), view_(view), title_(std::move(title)) {}

FormController::~FormController() = default;

void FormController::SpeedButton1Click() {
  LaunchTarget(ports_.launcher, std::string(kSiteRoot) + "/lite/", "");
}

void FormController::SpeedButton2Click() {
  // The user's browser may have moved the site's page to https by itself.
  const std::string url = GetBrowserUrl(
      ports_.shell, {std::string(kSiteRoot) + "/", std::string(kHttpsSiteRoot) + "/"});
  if (!url.empty()) view_.setUrlText(url);
}

void FormController::SpeedButton3Click() {
  RunScope scope(*this);
  DownloadRun(scope, *PageLinks, ports_.sockets, ports_.tls);
}

void FormController::FormCreate() { PageLinks = std::make_unique<PageLinkList>(); }

void FormController::FormDestroy() { PageLinks.reset(); }

void FormController::perform(Handler handler) {
  // A click that reaches the window during a run (it keeps input out, but a
  // click sent by a program may come) waits for nothing: the run is using
  // the window.
  if (running_) return;
  try {
    const auto error = ErrorOf([&] { (this->*handler)(); });
    // The user closed the window meanwhile: nothing more to tell.
    if (error && !closeRequested_) showError(*error);
  } catch (const RunAbandoned&) {
  }
  if (closeRequested_ && !running_) {
    closeRequested_ = false;
    view_.closeWindow();
  }
}

bool FormController::requestClose() {
  if (!running_) return true;
  closeRequested_ = true;
  return false;
}

void FormController::showError(std::string_view message) {
  view_.showError(WithFullStop(message), title_);
}

}  // namespace quillo
