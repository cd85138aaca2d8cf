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

// Marks the run and lets the window wait for the network without freezing;
// undone however the run ends.
class FormController::RunScope {
 public:
  explicit RunScope(FormController& form) : form_(form) {
    form_.running_ = true;
    form_.view_.runStarted();
    form_.ports_.sockets.setWaitHook([&form = form_] {
      form.view_.processEvents();
      if (form.closeRequested_) throw RunAbandoned{};
    });
  }
  ~RunScope() {
    form_.ports_.sockets.setWaitHook({});
    form_.view_.runEnded();
    form_.running_ = false;
  }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
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
  // A click that reaches the window during a run (it keeps input out, but a
  // programmatic click may come) must not start a second one.
  if (running_) return;
  RunScope scope(*this);
  DownloadRun(view_, *PageLinks, ports_.sockets);
}

void FormController::FormCreate() { PageLinks = std::make_unique<PageLinkList>(); }

void FormController::FormDestroy() { PageLinks.reset(); }

void FormController::perform(Handler handler) {
  try {
    if (const auto error = ErrorOf([&] { (this->*handler)(); })) ShowError(*error);
  } catch (const RunAbandoned&) {
    // The user closed the window; nothing to tell.
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

void FormController::ShowError(std::string_view message) {
  view_.showError(WithFullStop(message), title_);
}

}  // namespace quillo
