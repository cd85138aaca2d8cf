#pragma once

// The main window on Windows, with the Windows API itself: the toolbar panel
// with three image buttons and the URL field, the result area and the status
// bar. It builds and draws the controls; what it does is
// core/FormController's, which its events go to. Its form comes from
// core/FormLayout.h, like the Qt window's.

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "core/FormController.h"
#include "core/Ports.h"

class TForm1 {
 public:
  // ports: what the window's actions call out through, kept for its
  // lifetime.
  explicit TForm1(const quillo::Ports& ports);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Creates the window with every control, centred on the desktop, owned by
  // owner (the application's task-bar window); FormCreate runs once the
  // layout is built. The window is not shown yet.
  void Create(HWND owner);
  HWND handle() const { return hwnd_; }

  HWND Panel1 = nullptr;
  HWND Edit1 = nullptr;
  HWND SpeedButton1 = nullptr;
  HWND SpeedButton2 = nullptr;
  HWND SpeedButton3 = nullptr;
  HWND Memo1 = nullptr;
  HWND StatusBar = nullptr;

  // What the window does: the handlers, PageLinks, the state of a run.
  quillo::FormController& controller() { return *controller_; }

 private:
  class View;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  // Fonts, images, the icon and the places of everything inside the panel
  // for a density; the rest follows at the next Layout.
  void ApplyDpi(UINT dpi);
  void Layout(int width, int height);

  HWND hwnd_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  HFONT font_ = nullptr;
  HICON icon_ = nullptr;
  HWND focused_ = nullptr;  // the control that had the focus when the window was left
  std::unique_ptr<View> view_;
  std::unique_ptr<quillo::FormController> controller_;
};

// The program's text (CP932) as the Windows API takes it, and back.
std::wstring Wide(std::string_view cp932);
std::string Narrow(std::wstring_view utf16);

// The application's title (CP932) from the running executable's file name.
std::string ExecutableTitle();
