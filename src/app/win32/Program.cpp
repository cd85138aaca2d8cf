#include "app/win32/Program.h"

#include <string>

#include "core/Http.h"

namespace {

constexpr wchar_t kApplicationClass[] = L"TApplication";

// The task-bar entry: an unowned window of no size that bears the
// application's title and owns the form, so that the entry reads the title
// and not the form's caption. It hands activation and close requests on to
// the form.
LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto form = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_CLOSE:
      if (form != nullptr) PostMessageW(form, WM_CLOSE, 0, 0);
      return 0;
    case WM_SIZE:
      // Restored from the task bar: the form the minimise hid comes back.
      if (wParam == SIZE_RESTORED && form != nullptr && !IsWindowVisible(form)) {
        ShowWindow(form, SW_SHOW);
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && form != nullptr && IsWindowVisible(form) &&
          IsWindowEnabled(form)) {
        SetActiveWindow(form);
      }
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

HWND CreateApplicationWindow() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  static const bool registered = [instance] {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = ApplicationProc;
    type.hInstance = instance;
    type.hIcon = LoadIconW(instance, L"MAINICON");
    type.lpszClassName = kApplicationClass;
    return RegisterClassExW(&type) != 0;
  }();
  (void)registered;
  return CreateWindowExW(0, kApplicationClass, Wide(ExecutableTitle()).c_str(),
                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                         GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                         nullptr, nullptr, instance, nullptr);
}

bool Minimised(int showCommand) {
  return showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE ||
         showCommand == SW_SHOWMINNOACTIVE || showCommand == SW_FORCEMINIMIZE;
}

// Start in the constructor, release in the destructor, so that the order
// holds on every way out.
class ComScope {
 public:
  explicit ComScope(const ComLibrary& com) : com_(com) { com_.startup(); }
  ~ComScope() { com_.cleanup(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  const ComLibrary& com_;
};

class WindowScope {
 public:
  explicit WindowScope(HWND hwnd) : hwnd_(hwnd) {}
  ~WindowScope() { DestroyWindow(hwnd_); }
  WindowScope(const WindowScope&) = delete;
  WindowScope& operator=(const WindowScope&) = delete;

 private:
  HWND hwnd_;
};

}  // namespace

int RunProgram(const quillo::Ports& ports, const ComLibrary& com, int showCommand,
               const std::function<void(TForm1&)>& shown) {
  const quillo::SocketLibrary sockets(ports.sockets);
  const ComScope comScope(com);

  HWND application = CreateApplicationWindow();
  const WindowScope applicationScope(application);
  TForm1 form(ports);
  form.Create(application);
  if (form.handle() == nullptr) return 1;
  SetWindowLongPtrW(application, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form.handle()));

  if (Minimised(showCommand)) {
    // Minimised as the program minimises itself: the task-bar entry, with
    // the form hidden until it is restored; nothing is activated.
    ShowWindow(application, SW_SHOWMINNOACTIVE);
  } else {
    ShowWindow(form.handle(), showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    ShowWindow(application, SW_SHOWNOACTIVATE);
  }
  UpdateWindow(form.handle());
  if (shown) shown(form);

  MSG msg;
  int exitCode = 0;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      exitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (got < 0) {
      exitCode = 1;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The form is gone (FormDestroy ran); the task-bar window follows it.
  return exitCode;
}
