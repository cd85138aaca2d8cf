#include "app/win32/Dpi.h"

namespace {

using DpiForWindow = UINT(WINAPI*)(HWND);
using DpiForSystem = UINT(WINAPI*)();
using AdjustRectForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// A user32 function by name, or nullptr where this system lacks it.
template <typename Function>
Function User32(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  // Through a function type without arguments, which GCC allows to convert.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

UINT DpiOf(HWND window) {
  static const auto forWindow = User32<DpiForWindow>("GetDpiForWindow");
  if (forWindow != nullptr) {
    const UINT dpi = forWindow(window);
    if (dpi != 0) return dpi;
  }
  return SystemDpi();
}

UINT SystemDpi() {
  static const auto forSystem = User32<DpiForSystem>("GetDpiForSystem");
  if (forSystem != nullptr) return forSystem();
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

void AdjustForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto forDpi = User32<AdjustRectForDpi>("AdjustWindowRectExForDpi");
  if (forDpi != nullptr) {
    forDpi(&rect, style, FALSE, exStyle, dpi);
  } else {
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
}
