#include "app/win32/Controls.h"

#include "app/win32/Dpi.h"
#include "core/FormLayout.h"
#include "core/FormScale.h"

namespace {

constexpr wchar_t kPanelClass[] = L"TPanel";
constexpr wchar_t kButtonClass[] = L"TSpeedButton";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// One form pixel at the window's density.
int Thickness(HWND hwnd) { return quillo::form::Scaled(1, static_cast<int>(DpiOf(hwnd))); }

// A system edge (outer and inner one pixel each) thickness pixels each.
void DrawThickEdge(HDC dc, RECT area, UINT outer, UINT inner, int thickness) {
  for (const UINT edge : {outer, inner}) {
    if (edge == 0) continue;
    for (int i = 0; i < thickness; ++i) DrawEdge(dc, &area, edge, BF_RECT | BF_ADJUST);
  }
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:  // the buttons' clicks are the window's business
      return SendMessageW(GetParent(hwnd), message, wParam, lParam);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      RECT area;
      GetClientRect(hwnd, &area);
      FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      DrawThickEdge(dc, area, 0, BDR_RAISEDINNER, Thickness(hwnd));
      EndPaint(hwnd, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

struct Button {
  std::wstring caption;
  HBITMAP image = nullptr;
  SIZE bitmapSize{};  // the art's own
  SIZE imageSize{};   // as drawn
  COLORREF key = 0;
  HFONT font = nullptr;
  bool tracking = false;  // the mouse went down here and is captured
  bool pressed = false;
};

Button* StateOf(HWND hwnd) {
  return reinterpret_cast<Button*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void PaintButton(HWND hwnd, const Button& button) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  RECT area;
  GetClientRect(hwnd, &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  DrawThickEdge(dc, area, button.pressed ? BDR_SUNKENOUTER : BDR_RAISEDOUTER,
                button.pressed ? BDR_SUNKENINNER : BDR_RAISEDINNER, Thickness(hwnd));

  const HGDIOBJ oldFont = SelectObject(dc, button.font);
  SIZE text{};
  GetTextExtentPoint32W(dc, button.caption.c_str(), static_cast<int>(button.caption.size()), &text);
  const auto place = quillo::form::LayOutButton(area.right - area.left, area.bottom - area.top,
                                                button.imageSize.cx, button.imageSize.cy, text.cx,
                                                text.cy, button.pressed);
  if (button.image != nullptr) {
    HDC source = CreateCompatibleDC(dc);
    const HGDIOBJ oldImage = SelectObject(source, button.image);
    // Pixel for pixel at 1x, 1.5x and 2x; resized only between and past those.
    GdiTransparentBlt(dc, place.imageLeft, place.imageTop, button.imageSize.cx, button.imageSize.cy,
                      source, 0, 0, button.bitmapSize.cx, button.bitmapSize.cy, button.key);
    SelectObject(source, oldImage);
    DeleteDC(source);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  TextOutW(dc, place.textLeft, place.textTop, button.caption.c_str(),
           static_cast<int>(button.caption.size()));
  SelectObject(dc, oldFont);
  EndPaint(hwnd, &paint);
}

void Click(HWND hwnd) {
  SendMessageW(GetParent(hwnd), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(hwnd), static_cast<WORD>(BN_CLICKED)),
               reinterpret_cast<LPARAM>(hwnd));
}

void SetPressed(HWND hwnd, Button& button, bool pressed) {
  if (button.pressed == pressed) return;
  button.pressed = pressed;
  InvalidateRect(hwnd, nullptr, FALSE);
  UpdateWindow(hwnd);
}

bool MouseInside(HWND hwnd, LPARAM lParam) {
  RECT area;
  GetClientRect(hwnd, &area);
  const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return PtInRect(&area, at) != FALSE;
}

// The button never calls SetFocus, so a click leaves the focus where it was.
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Button* button = StateOf(hwnd);
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_NCDESTROY:
      if (button != nullptr) {
        if (button->image != nullptr) DeleteObject(button->image);
        delete button;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      }
      break;
    case WM_PAINT:
      PaintButton(hwnd, *button);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills everything
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      button->tracking = true;
      SetPressed(hwnd, *button, true);
      return 0;
    case WM_MOUSEMOVE:
      if (button->tracking) SetPressed(hwnd, *button, MouseInside(hwnd, lParam));
      return 0;
    case WM_LBUTTONUP:
      if (button->tracking) {
        const bool inside = MouseInside(hwnd, lParam);
        ReleaseCapture();  // WM_CAPTURECHANGED draws the button raised again
        if (inside) Click(hwnd);
      }
      return 0;
    case WM_CAPTURECHANGED:
      button->tracking = false;
      SetPressed(hwnd, *button, false);
      return 0;
    case BM_CLICK:
      Click(hwnd);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterOnce() {
  static const bool registered = [] {
    WNDCLASSEXW panel{};
    panel.cbSize = sizeof panel;
    panel.lpfnWndProc = PanelProc;
    // The bevel runs along the edges: a resize must repaint all of it, or
    // the old right edge stays drawn and the new one is missing.
    panel.style = CS_HREDRAW | CS_VREDRAW;
    panel.hInstance = Instance();
    panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panel.lpszClassName = kPanelClass;
    RegisterClassExW(&panel);

    WNDCLASSEXW button = panel;
    button.style = 0;
    button.lpfnWndProc = ButtonProc;
    button.lpszClassName = kButtonClass;
    RegisterClassExW(&button);
    return true;
  }();
  (void)registered;
}

}  // namespace

HWND CreatePanel(HWND parent, int id) {
  RegisterOnce();
  return CreateWindowExW(0, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(),
                         nullptr);
}

HWND CreateImageButton(HWND parent, int id, const std::wstring& caption) {
  RegisterOnce();
  auto* button = new Button;
  button->caption = caption;
  // The window owns the state from here on (freed at WM_NCDESTROY).
  return CreateWindowExW(0, kButtonClass, caption.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(),
                         button);
}

void SetImageButtonLook(HWND hwnd, HFONT font, const std::wstring& image, SIZE size) {
  Button* button = StateOf(hwnd);
  if (button == nullptr) return;
  if (button->image != nullptr) DeleteObject(button->image);
  button->font = font;
  button->imageSize = size;
  button->image = static_cast<HBITMAP>(
      LoadImageW(Instance(), image.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (button->image != nullptr) {
    BITMAP info{};
    GetObjectW(button->image, sizeof info, &info);
    button->bitmapSize = {info.bmWidth, info.bmHeight};
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, button->image);
    button->key = GetPixel(dc, 0, info.bmHeight - 1);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  InvalidateRect(hwnd, nullptr, FALSE);
}

bool ImageButtonPressed(HWND button) {
  const Button* state = StateOf(button);
  return state != nullptr && state->pressed;
}
