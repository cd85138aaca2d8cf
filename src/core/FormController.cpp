#include "core/FormController.h"

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

}  // namespace

// The run's view while it lasts: the window, and a way out after each of its
// operations and each wait for the network, where the window may have heard
// a close request. Undone however the run ends.
class FormController::RunScope final : public RunView {
 public:
  explicit RunScope(FormController& form) : form_(form) {
    form_.running_ = true;
    form_.view_.runStarted();
    form_.ports_.sockets.setWaitHook([this] {
      form_.view_.processEvents();
      leaveIfClosing();
    });
  }
  ~RunScope() override {
    form_.ports_.sockets.setWaitHook({});
    form_.view_.runEnded();
    form_.running_ = false;
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

  std::string urlText() override { return form_.view_.urlText(); }
  void setStatus(std::string_view status) override {
    form_.view_.setStatus(status);
    leaveIfClosing();
  }
  void clearLines() override { form_.view_.clearLines(); }
  void appendLine(std::string_view line) override {
    form_.view_.appendLine(line);
    leaveIfClosing();
  }

 private:
  void leaveIfClosing() const {
    if (form_.closeRequested_) throw RunAbandoned{};
  }

  FormController& form_;
};

FormController::FormController(const Ports& ports, FormView& view, std::string title)
    : ports_(ports), view_(view), title_(std::move(title)) {}

FormController::~FormController() = default;

void FormController::SpeedButton1Click() {
  LaunchTarget(ports_.launcher, std::string(kSiteRoot) + "/lite/", "");
}

void FormController::SpeedButton2Click() {
  const std::string url = GetBrowserUrl(ports_.shell, std::string(kSiteRoot) + "/");
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
