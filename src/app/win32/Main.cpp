#include "app/win32/Main.h"

#include <commctrl.h>

#include <string>

#include "app/win32/Controls.h"
#include "core/FormLayout.h"
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

// Longest a burst of appended lines waits before it is shown.
constexpr ULONGLONG kFrameMs = 16;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A resource name from an image's file name: "logo.bmp" -> "logo".
std::wstring ResourceName(std::string_view fileName) {
  return Wide(fileName.substr(0, fileName.find('.')));
}

// Tab moves between the URL field and the result area only, Enter in the
// URL field does nothing (not even beep), and Ctrl+A selects everything,
// which the edit controls of some systems do not do themselves.
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

// Image and caption of every button, placed as the button places them,
// within its raised edges (two pixels each side).
bool CaptionsFit(HFONT font) {
  HDC dc = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, font);
  bool fit = true;
  for (const form::Button& button : form::kSpeedButtons) {
    const std::wstring caption = Wide(button.caption);
    SIZE text{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    const auto place =
        form::LayOutButton(button.place.width, button.place.height, button.imageWidth,
                           button.imageHeight, text.cx, text.cy, false);
    fit = fit && place.imageLeft >= 2 && place.textLeft + text.cx <= button.place.width - 2;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return fit;
}

// "ＭＳ ゴシック" at the form's size where the system has it; else the first
// stand-in there is, at the largest size up to the form's at which every
// caption fits its button (the stand-ins' letters run wider).
HFONT CreateFormFont() {
  std::wstring face = Wide(form::kFontFace);
  if (HasFace(face)) return CreateFontOf(face, form::kFontPixelHeight);
  for (const std::string_view standIn : form::kFontStandIns) {
    if (HasFace(Wide(standIn))) {
      face = Wide(standIn);
      break;
    }
  }
  constexpr int kSmallest = 9;
  for (int height = form::kFontPixelHeight; height > kSmallest; --height) {
    HFONT font = CreateFontOf(face, height);
    if (CaptionsFit(font)) return font;
    DeleteObject(font);
  }
  return CreateFontOf(face, kSmallest);
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
// into the result area at most once a frame, and each status text is painted
// at once.
class TForm1::View final : public quillo::FormView {
 public:
  explicit View(TForm1& form) : form_(form) {}

  std::string urlText() override { return Narrow(TextOf(form_.Edit1)); }

  void setStatus(std::string_view status) override {
    showLines();
    const std::wstring text = Wide(status);
    SendMessageW(form_.StatusBar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    UpdateWindow(form_.StatusBar);
    pump();
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
    if (GetTickCount64() - shownAt_ >= kFrameMs) {
      showLines();
      pump();
    }
  }

  void setUrlText(std::string_view url) override { SetWindowTextW(form_.Edit1, Wide(url).c_str()); }

  void showError(std::string_view text, std::string_view title) override {
    MessageBoxW(form_.hwnd_, Wide(text).c_str(), Wide(title).c_str(), MB_OK | MB_ICONSTOP);
  }

  void runStarted() override {
    pending_.clear();
    shownAt_ = GetTickCount64();
  }

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
    if (!pending_.empty()) {
      const LRESULT end = GetWindowTextLengthW(form_.Memo1);
      SendMessageW(form_.Memo1, EM_SETSEL, static_cast<WPARAM>(end), end);
      SendMessageW(form_.Memo1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pending_.c_str()));
      pending_.clear();
      UpdateWindow(form_.Memo1);
    }
    // The next frame counts from the end of this one: when showing takes
    // longer than a frame (a long text, a loaded machine), lines gather into
    // fewer, larger appends instead of one append each.
    shownAt_ = GetTickCount64();
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
  ULONGLONG shownAt_ = 0;
};

TForm1::TForm1(const quillo::Ports& ports)
    : view_(std::make_unique<View>(*this)),
      controller_(std::make_unique<quillo::FormController>(ports, *view_, ExecutableTitle())) {}

TForm1::~TForm1() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (font_ != nullptr) DeleteObject(font_);
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

  // The client area has the form's size; the frame is the system's.
  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT outer{0, 0, form::kClientWidth, form::kClientHeight};
  AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  CreateWindowExW(0, kFormClass, Wide(form::kCaption).c_str(), kStyle, left, top, width, height,
                  owner, nullptr, Instance(), this);
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
    case WM_COMMAND:
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
  font_ = CreateFormFont();
  const auto setFont = [this](HWND control) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  };
  const auto id = [](int value) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(value)); };

  Panel1 = CreatePanel(hwnd_, kPanelId, font_);
  HWND* buttons[] = {&SpeedButton1, &SpeedButton2, &SpeedButton3};
  for (int i = 0; i < 3; ++i) {
    const form::Button& layout = form::kSpeedButtons[i];
    const RECT place{layout.place.left, layout.place.top, layout.place.left + layout.place.width,
                     layout.place.top + layout.place.height};
    *buttons[i] = CreateImageButton(Panel1, kFirstButtonId + i, place, Wide(layout.caption),
                                    ResourceName(layout.image), font_);
  }
  // Flat one-pixel borders on both text fields.
  Edit1 = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL,
                          form::kEdit1.left, form::kEdit1.top, form::kEdit1.width,
                          form::kEdit1.height, Panel1, id(kEditId), Instance(), nullptr);
  Memo1 = CreateWindowExW(0, L"EDIT", Wide(form::kMemo1Text).c_str(),
                          WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL |
                              ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_NOHIDESEL,
                          0, 0, 0, 0, hwnd_, id(kMemoId), Instance(), nullptr);
  // Without this an edit control stops at about 30 000 characters: an
  // address or a result of any length must stay whole.
  SendMessageW(Edit1, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(Memo1, EM_SETLIMITTEXT, 0, 0);
  setFont(Edit1);
  setFont(Memo1);
  Subclass(Edit1, Memo1);
  Subclass(Memo1, Edit1);

  StatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                              0, 0, 0, hwnd_, id(kStatusBarId), Instance(), nullptr);
  setFont(StatusBar);
  SendMessageW(StatusBar, SB_SIMPLE, TRUE, 0);
  // The bar sizes itself from its font and its drawing area's least
  // height: the least height that makes the whole bar as high as the form
  // says.
  for (int area = 1; area <= form::kStatusBarHeight; ++area) {
    SendMessageW(StatusBar, SB_SETMINHEIGHT, static_cast<WPARAM>(area), 0);
    SendMessageW(StatusBar, WM_SIZE, 0, 0);
    RECT bar;
    GetWindowRect(StatusBar, &bar);
    if (bar.bottom - bar.top >= form::kStatusBarHeight) break;
  }
  focused_ = Edit1;
}

void TForm1::Layout(int width, int height) {
  SendMessageW(StatusBar, WM_SIZE, 0, 0);  // it docks itself at the bottom
  // Its sizing grip moves to the new right end; the bar repaints only what
  // it thinks changed, which leaves the old grip standing.
  InvalidateRect(StatusBar, nullptr, TRUE);
  RECT bar;
  GetWindowRect(StatusBar, &bar);
  const int barHeight = bar.bottom - bar.top;
  MoveWindow(Panel1, 0, 0, width, form::kPanelHeight, TRUE);
  const int memoHeight = height - form::kPanelHeight - barHeight;
  MoveWindow(Memo1, 0, form::kPanelHeight, width, memoHeight > 0 ? memoHeight : 0, TRUE);
}
