#include "app/win32/Main.h"

#include <commctrl.h>

#include <string>

#include "app/win32/Controls.h"
#include "app/win32/Dpi.h"
#include "core/FormLayout.h"
#include "core/FormScale.h"
#include "core/Messages.h"
#include "platform/Codepage.h"
#include "platform/Info.h"

namespace {

namespace form = quillo::form;

constexpr wchar_t kFormClass[] = L"TForm1";
constexpr int kPanelId = 1;
constexpr int kMemoId = 2;
constexpr int kStatusBarId = 3;
constexpr int kEditId = 10;
constexpr int kFirstButtonId = 11;  // SpeedButton1, then 2 and 3
// WM_COMMAND's notification code for a key that stands for a command.
constexpr WORD kAccelerator = 1;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The resource of an image's art (window.rc): "logo.bmp" at 1.5x ->
// "logo_150".
std::wstring ResourceName(std::string_view image, const form::Art& art) {
  std::string name(image.substr(0, image.rfind('.')));
  if (art.halves != 2) name += "_" + std::to_string(art.halves * 50);
  return Wide(name);
}

// The window's style: the client area has the form's size, the frame is the
// system's.
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

// The button whose access key (form::Button::accessKey, a capital letter)
// the virtual key is; -1 for none.
int ButtonOfKey(WPARAM key) {
  for (int i = 0; i < 3; ++i) {
    if (key == static_cast<WPARAM>(form::kSpeedButtons[i].accessKey)) return i;
  }
  return -1;
}

// Tab moves between the URL field and the result area only, Enter in the
// URL field does nothing (not even beep), and Ctrl+A selects everything,
// which the edit controls of some systems do not do themselves. The focus
// is always in one of the two fields, so they hand the buttons' access keys
// to the form.
LRESULT CALLBACK FieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, L"quillo.original"));
  const auto other = static_cast<HWND>(GetPropW(hwnd, L"quillo.other"));
  const bool singleLine = (GetWindowLongPtrW(hwnd, GWL_STYLE) & ES_MULTILINE) == 0;
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        SetFocus(other);
        return 0;
      }
      if (wParam == 'A' && GetKeyState(VK_CONTROL) < 0) {
        SendMessageW(hwnd, EM_SETSEL, 0, -1);
        return 0;
      }
      if (wParam == VK_RETURN && singleLine) return 0;
      break;
    case WM_SYSKEYDOWN: {
      // Alt alone with the letter, as in the Qt window.
      const bool alt = (lParam & (LPARAM{1} << 29)) != 0 && GetKeyState(VK_SHIFT) >= 0 &&
                       GetKeyState(VK_CONTROL) >= 0;
      if (const int button = ButtonOfKey(wParam); alt && button >= 0) {
        SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_COMMAND,
                     MAKEWPARAM(kFirstButtonId + button, kAccelerator), 0);
        return 0;
      }
      break;
    }
    case WM_SYSCHAR:
      // The key's character, either case: there is no menu to find it in
      // (and beep).
      if (ButtonOfKey(wParam & ~WPARAM{0x20}) >= 0) return 0;
      break;
    case WM_CHAR:
      // Tab, Ctrl+A and, in the URL field, Enter and Ctrl+Enter type nothing.
      if (wParam == '\t' || wParam == 0x01) return 0;
      if (singleLine && (wParam == '\r' || wParam == '\n')) return 0;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropW(hwnd, L"quillo.original");
      RemovePropW(hwnd, L"quillo.other");
      break;
    default:
      break;
  }
  return CallWindowProcW(original, hwnd, message, wParam, lParam);
}

void Subclass(HWND field, HWND other) {
  SetPropW(field, L"quillo.other", other);
  SetPropW(field, L"quillo.original",
           reinterpret_cast<HANDLE>(
               SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldProc))));
}

// What a run keeps out: keys and mouse input, the result area's scroll bars
// included (their drag would hold the run in its own loop). The frame's own
// messages (a close request among them) still reach the form, and so does
// Alt+F4.
bool IsUserInput(const MSG& msg, HWND form) {
  if ((msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP) && msg.wParam == VK_F4) {
    return false;
  }
  const bool frame = msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCXBUTTONDBLCLK;
  if (frame) return msg.hwnd != form && msg.hwnd != GetWindow(form, GW_OWNER);
  return (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
         (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
}

HFONT CreateFontOf(const std::wstring& face, int height) {
  return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     FIXED_PITCH | FF_MODERN, face.c_str());
}

bool HasFace(const std::wstring& face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(
      dc, &wanted,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM result) -> int {
        *reinterpret_cast<bool*>(result) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

// Image and caption of every button at a density, placed as the button
// places them, within its raised edges (two form pixels each side).
bool CaptionsFit(HFONT font, int dpi) {
  HDC dc = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, font);
  const int edge = form::Scaled(1, dpi) * 2;
  bool fit = true;
  for (const form::Button& button : form::kSpeedButtons) {
    const std::wstring caption = Wide(button.caption);
    SIZE text{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    const form::Place place = form::Scaled(button.place, dpi);
    const auto content =
        form::LayOutButton(place.width, place.height, form::Scaled(button.imageWidth, dpi),
                           form::Scaled(button.imageHeight, dpi), text.cx, text.cy, false);
    fit = fit && content.imageLeft >= edge && content.textLeft + text.cx <= place.width - edge;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return fit;
}

// "ＭＳ ゴシック" at the form's size where the system has it; else the first
// stand-in there is, at the largest size up to the form's at which every
// caption fits its button (the stand-ins' letters run wider). Sizes are the
// form's at the density dpi.
HFONT CreateFormFont(int dpi) {
  std::wstring face = Wide(form::kFontFace);
  const int largest = form::Scaled(form::kFontPixelHeight, dpi);
  if (HasFace(face)) return CreateFontOf(face, largest);
  for (const std::string_view standIn : form::kFontStandIns) {
    if (HasFace(Wide(standIn))) {
      face = Wide(standIn);
      break;
    }
  }
  const int smallest = form::Scaled(9, dpi);
  for (int height = largest; height > smallest; --height) {
    HFONT font = CreateFontOf(face, height);
    if (CaptionsFit(font, dpi)) return font;
    DeleteObject(font);
  }
  return CreateFontOf(face, smallest);
}

}  // namespace

std::wstring Wide(std::string_view cp932) {
  const std::u16string text = quillo::cp932::ToUtf16(cp932);
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(std::wstring_view utf16) {
  return quillo::cp932::FromUtf16(
      std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

std::string ExecutableTitle() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  return quillo::ApplicationTitle(
      Narrow(slash == std::wstring::npos ? path : path.substr(slash + 1)));
}

// The window as the form controller reaches it. Lines are gathered and put
// into the result area at the window's slice, when the controller gives it.
class TForm1::View final : public quillo::FormView {
 public:
  explicit View(TForm1& form) : form_(form) {}

  std::string urlText() override { return Narrow(TextOf(form_.Edit1)); }

  void setStatus(std::string_view status) override {
    const std::wstring text = Wide(status);
    SendMessageW(form_.StatusBar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    // The window text (the first part's, under the simple panel) is what the
    // system's accessibility gives as the bar's name: a screen reader hears
    // it change.
    SetWindowTextW(form_.StatusBar, text.c_str());
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, form_.StatusBar, OBJID_CLIENT, CHILDID_SELF);
    UpdateWindow(form_.StatusBar);
  }

  void clearLines() override {
    pending_.clear();
    SetWindowTextW(form_.Memo1, L"");
  }

  // Every line ends with a line break, so the first line after a clear is
  // the area's first line.
  void appendLine(std::string_view line) override {
    pending_ += Wide(line);
    pending_ += L"\r\n";
  }

  void setUrlText(std::string_view url) override { SetWindowTextW(form_.Edit1, Wide(url).c_str()); }

  void showError(std::string_view text, std::string_view title) override {
    MessageBoxW(form_.hwnd_, Wide(text).c_str(), Wide(title).c_str(), MB_OK | MB_ICONSTOP);
  }

  void runStarted() override { pending_.clear(); }

  // What came before an error stays visible.
  void runEnded() override { showLines(); }

  void processEvents() override {
    showLines();
    pump();
  }

  // After the message that brought the request is handled.
  void closeWindow() override { PostMessageW(form_.hwnd_, WM_CLOSE, 0, 0); }

 private:
  // Puts the gathered lines at the end of the result area, which then shows
  // its end.
  void showLines() {
    if (pending_.empty()) return;
    const LRESULT end = GetWindowTextLengthW(form_.Memo1);
    SendMessageW(form_.Memo1, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(form_.Memo1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pending_.c_str()));
    pending_.clear();
    UpdateWindow(form_.Memo1);
  }

  // Lets the window repaint and hear a close request; user input that
  // arrives meanwhile is dropped.
  void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      if (IsUserInput(msg, form_.hwnd_)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  TForm1& form_;
  std::wstring pending_;
};

TForm1::TForm1(const quillo::Ports& ports)
    : view_(std::make_unique<View>(*this)),
      controller_(std::make_unique<quillo::FormController>(ports, *view_, ExecutableTitle())) {}

TForm1::~TForm1() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (font_ != nullptr) DeleteObject(font_);
  if (icon_ != nullptr) DestroyIcon(icon_);
}

void TForm1::Create(HWND owner) {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = WindowProc;
    type.hInstance = Instance();
    type.hIcon = LoadIconW(Instance(), L"MAINICON");
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    type.lpszClassName = kFormClass;
    return RegisterClassExW(&type) != 0;
  }();
  (void)registered;

  // Centred at the system's density; a monitor of another one (WM_CREATE
  // finds it) gets the window at its own.
  const auto centred = [](UINT dpi) {
    const int d = static_cast<int>(dpi);
    RECT outer{0, 0, form::Scaled(form::kClientWidth, d), form::Scaled(form::kClientHeight, d)};
    AdjustForDpi(outer, kStyle, 0, dpi);
    OffsetRect(&outer,
               (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2 - outer.left,
               (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2 - outer.top);
    return outer;
  };
  const UINT dpi = SystemDpi();
  RECT outer = centred(dpi);
  CreateWindowExW(0, kFormClass, Wide(form::kCaption).c_str(), kStyle, outer.left, outer.top,
                  outer.right - outer.left, outer.bottom - outer.top, owner, nullptr, Instance(),
                  this);
  if (hwnd_ != nullptr && dpi_ != dpi) {
    outer = centred(dpi_);
    SetWindowPos(hwnd_, nullptr, outer.left, outer.top, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

LRESULT CALLBACK TForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->hwnd_ = nullptr;
  }
  return form->HandleMessage(message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      quillo::SetLaunchOwner(reinterpret_cast<std::uintptr_t>(hwnd_));
      controller_->FormCreate();
      return 0;
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_DPICHANGED: {
      // Moved to a monitor of another density: everything drawn for it, in
      // the rectangle the system suggests (whose WM_SIZE lays it out).
      ApplyDpi(HIWORD(wParam));
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_COMMAND:
      // An access key: the click of its button.
      if (HIWORD(wParam) == kAccelerator && lParam == 0) {
        SendMessageW(GetDlgItem(Panel1, LOWORD(wParam)), BM_CLICK, 0, 0);
        return 0;
      }
      if (HIWORD(wParam) == BN_CLICKED) {
        using Form = quillo::FormController;
        const auto sender = reinterpret_cast<HWND>(lParam);
        if (sender == SpeedButton1) controller_->perform(&Form::SpeedButton1Click);
        if (sender == SpeedButton2) controller_->perform(&Form::SpeedButton2Click);
        if (sender == SpeedButton3) controller_->perform(&Form::SpeedButton3Click);
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus == Edit1 || focus == Memo1) focused_ = focus;
      }
      break;
    case WM_SETFOCUS:
      SetFocus(focused_ != nullptr ? focused_ : Edit1);
      return 0;
    case WM_SYSCOMMAND:
      // The task-bar entry is the owner's: minimising the form minimises it
      // and hides the form (not every system hides owned windows itself);
      // restoring the owner shows the form again.
      if ((wParam & 0xFFF0) == SC_MINIMIZE && GetWindow(hwnd_, GW_OWNER) != nullptr) {
        ShowWindow(hwnd_, SW_HIDE);
        ShowWindow(GetWindow(hwnd_, GW_OWNER), SW_MINIMIZE);
        return 0;
      }
      break;
    case WM_CLOSE:
      if (controller_->requestClose()) DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      controller_->FormDestroy();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TForm1::CreateControls() {
  const auto id = [](int value) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(value)); };

  // A hidden label just before a text field is its name for screen readers
  // (the rule by which the system names an edit control).
  const auto label = [](HWND parent, std::string_view name) {
    CreateWindowExW(0, L"STATIC", Wide(name).c_str(), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, parent,
                    nullptr, Instance(), nullptr);
  };

  Panel1 = CreatePanel(hwnd_, kPanelId);
  HWND* buttons[] = {&SpeedButton1, &SpeedButton2, &SpeedButton3};
  for (int i = 0; i < 3; ++i) {
    *buttons[i] =
        CreateImageButton(Panel1, kFirstButtonId + i, Wide(form::kSpeedButtons[i].caption));
  }
  // Flat one-pixel borders on both text fields.
  label(Panel1, form::kEdit1Name);
  Edit1 = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 0, 0,
                          0, 0, Panel1, id(kEditId), Instance(), nullptr);
  label(hwnd_, form::kMemo1Name);
  Memo1 = CreateWindowExW(0, L"EDIT", Wide(form::kMemo1Text).c_str(),
                          WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL |
                              ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL,
                          0, 0, 0, 0, hwnd_, id(kMemoId), Instance(), nullptr);
  // Without this an edit control stops at about 30 000 characters: an
  // address or a result of any length must stay whole.
  SendMessageW(Edit1, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(Memo1, EM_SETLIMITTEXT, 0, 0);
  Subclass(Edit1, Memo1);
  Subclass(Memo1, Edit1);

  StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                              0, 0, 0, hwnd_, id(kStatusBarId), Instance(), nullptr);
  SendMessageW(StatusBar, SB_SIMPLE, TRUE, 0);
  focused_ = Edit1;

  // Each button's tooltip names its key.
  HWND tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                              hwnd_, nullptr, Instance(), nullptr);
  for (int i = 0; i < 3; ++i) {
    std::wstring tip = Wide(form::ToolTip(form::kSpeedButtons[i]));
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // the classic common controls' size
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Panel1;
    tool.uId = reinterpret_cast<UINT_PTR>(*buttons[i]);
    tool.lpszText = tip.data();
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  ApplyDpi(DpiOf(hwnd_));
}

void TForm1::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  const int d = static_cast<int>(dpi);
  const HFONT oldFont = font_;
  font_ = CreateFormFont(d);
  for (HWND control : {Panel1, Edit1, Memo1, StatusBar}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  if (oldFont != nullptr) DeleteObject(oldFont);

  const HWND buttons[] = {SpeedButton1, SpeedButton2, SpeedButton3};
  for (int i = 0; i < 3; ++i) {
    const form::Button& layout = form::kSpeedButtons[i];
    const form::Place place = form::Scaled(layout.place, d);
    MoveWindow(buttons[i], place.left, place.top, place.width, place.height, TRUE);
    SetImageButtonLook(buttons[i], font_, ResourceName(layout.image, form::ArtFor(d)),
                       {form::Scaled(layout.imageWidth, d), form::Scaled(layout.imageHeight, d)});
  }
  const form::Place edit = form::Scaled(form::kEdit1, d);
  MoveWindow(Edit1, edit.left, edit.top, edit.width, edit.height, TRUE);

  // The bar sizes itself from its font and its drawing area's least
  // height: the least height that makes the whole bar as high as the form
  // says.
  const int barHeight = form::Scaled(form::kStatusBarHeight, d);
  for (int area = 1; area <= barHeight; ++area) {
    SendMessageW(StatusBar, SB_SETMINHEIGHT, static_cast<WPARAM>(area), 0);
    SendMessageW(StatusBar, WM_SIZE, 0, 0);
    RECT bar;
    GetWindowRect(StatusBar, &bar);
    if (bar.bottom - bar.top >= barHeight) break;
  }

  // The icon of the density, from its images of 32, 48 and 64 pixels.
  constexpr int kIconSide = 32;
  const int side = form::Scaled(kIconSide, d);
  const HICON oldIcon = icon_;
  icon_ = static_cast<HICON>(LoadImageW(Instance(), L"MAINICON", IMAGE_ICON, side, side, 0));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  if (oldIcon != nullptr) DestroyIcon(oldIcon);
}

void TForm1::Layout(int width, int height) {
  SendMessageW(StatusBar, WM_SIZE, 0, 0);  // it docks itself at the bottom
  // Its sizing grip moves to the new right end; the bar repaints only what
  // it thinks changed, which leaves the old grip standing.
  InvalidateRect(StatusBar, nullptr, TRUE);
  RECT bar;
  GetWindowRect(StatusBar, &bar);
  const int barHeight = bar.bottom - bar.top;
  const int panelHeight = form::Scaled(form::kPanelHeight, static_cast<int>(dpi_));
  MoveWindow(Panel1, 0, 0, width, panelHeight, TRUE);
  const int memoHeight = height - panelHeight - barHeight;
  MoveWindow(Memo1, 0, panelHeight, width, memoHeight > 0 ? memoHeight : 0, TRUE);
}
