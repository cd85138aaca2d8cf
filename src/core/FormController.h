#pragma once

// What the main window does, whatever draws it: the three button actions,
// PageLinks from FormCreate to FormDestroy, the state of a run, and which
// error is shown with which title. The Qt window and the Win32 window build
// their controls, implement FormView and forward their events here.

#include <memory>
#include <string>
#include <string_view>

#include "core/DownloadRun.h"
#include "core/PageParsing.h"
#include "core/Ports.h"

namespace quillo {

// The window as the form's actions see it: the run's four operations and the
// rest. Texts are CP932.
class FormView : public RunView {
 public:
  // Puts an address into the URL field.
  virtual void setUrlText(std::string_view url) = 0;
  // The modal error box: its text as shown and its title.
  virtual void showError(std::string_view text, std::string_view title) = 0;
  // From runStarted to runEnded the window keeps user input out; runEnded
  // also shows whatever the run appended, however it ended.
  virtual void runStarted() = 0;
  virtual void runEnded() = 0;
  // Shows what the run changed, paints and answers the desktop (a close
  // request among it): the window's slice during a run, which the controller
  // gives it after a new status and at most once a frame otherwise.
  virtual void processEvents() = 0;
  // Closes the window as at any close; the program ends with it.
  virtual void closeWindow() = 0;
};

class FormController {
 public:
  // ports and view are kept for the controller's lifetime; title is the
  // application's title (CP932), which the error box bears.
  FormController(const Ports& ports, FormView& view, std::string title);
  ~FormController();
  FormController(const FormController&) = delete;
  FormController& operator=(const FormController&) = delete;

  // The handlers. Errors leave them; perform shows them.
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();
  void FormCreate();
  void FormDestroy();

  // Runs a handler and shows the error that escapes it; nothing during a
  // run. A close asked for meanwhile is carried out once the handler is
  // over.
  using Handler = void (FormController::*)();
  void perform(Handler handler);

  // A request to close the window (title bar, Alt+F4, task bar, window
  // manager): true when the window may close now. During a run it is false:
  // the run ends at its next wait for the network or view operation, with
  // no error shown, and then the view is closed.
  bool requestClose();

  // Shows message in the error box, with the full-stop rule applied.
  void showError(std::string_view message);

  bool running() const { return running_; }
  bool hasPageLinks() const { return PageLinks != nullptr; }

 private:
  class RunScope;

  Ports ports_;
  FormView& view_;
  std::string title_;
  std::unique_ptr<PageLinkList> PageLinks;
  bool running_ = false;
  bool closeRequested_ = false;
};

}  // namespace quillo
