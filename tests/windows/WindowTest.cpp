// The Windows window in this process, for what a person cannot easily see:
// where each control stands, the initial texts, the keyboard rules, the
// length of what the fields hold, a run of 10 000 lines, and the order of
// the program's start and end. The end-to-end tests drive the real program
// with the mouse and keyboard.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "app/win32/Main.h"
#include "app/win32/Program.h"
#include "core/FormLayout.h"
#include "core/FormScale.h"
#include "core/SiteRoot.h"
#include "core/Texts.h"
#include "platform/Info.h"
#include "platform/Tls.h"
#include "support/FakeShell.h"
#include "support/LoopbackSite.h"
#include "support/Pages.h"

namespace {

using quillo::testing::LoopbackSite;

const std::string kSiteHost(quillo::kSiteRoot.substr(7));

// A control's place in its parent's client area.
RECT PlaceOf(HWND control) {
  RECT place;
  GetWindowRect(control, &place);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

::testing::AssertionResult At(HWND control, int left, int top, int width, int height) {
  const RECT r = PlaceOf(control);
  if (r.left == left && r.top == top && r.right - r.left == width && r.bottom - r.top == height) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << r.left << "," << r.top << " " << r.right - r.left << "x" << r.bottom - r.top;
}

std::wstring Text(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A bar in simple mode answers with its one text for part 0.
std::wstring StatusText(HWND bar) {
  wchar_t text[256] = {};
  SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  return text;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Click(HWND button) {
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.Create(nullptr);
    ASSERT_NE(form_.handle(), nullptr);
    ShowWindow(form_.handle(), SW_SHOWNORMAL);
    SetForegroundWindow(form_.handle());
    Pump();
  }

  LoopbackSite site_{{}, {kSiteHost}};
  quillo::shell::testing::FakeShell shell_;
  TForm1 form_{
      quillo::Ports{site_.sockets(), quillo::net::SystemTls(), shell_, quillo::SystemLauncher()}};
};

// The pixels of a window or bitmap device context, top row first.
std::vector<COLORREF> PixelsOf(HDC dc, int width, int height) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(dc, x, y));
  }
  return pixels;
}

// At the system's density (the runner sets it as QUILLO_TEST_DPI) the form
// stands at its sizes times the scale.
TEST_F(Window, FormAsLaidOut) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  const char* expected = std::getenv("QUILLO_TEST_DPI");
  EXPECT_EQ(dpi, expected != nullptr ? std::atoi(expected) : 96);
  const auto S = [dpi](int pixels) { return quillo::form::Scaled(pixels, dpi); };

  RECT client;
  GetClientRect(form_.handle(), &client);
  EXPECT_EQ(client.right, S(530));
  EXPECT_EQ(client.bottom, S(309));
  RECT outer;
  GetWindowRect(form_.handle(), &outer);
  std::cout << dpi << " dpi: client " << client.right << "x" << client.bottom << ", outer size "
            << outer.right - outer.left << "x" << outer.bottom - outer.top
            << " with this system's frame\n";
  // Centred on the desktop, frame included.
  EXPECT_LE(std::abs((outer.left + outer.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs((outer.top + outer.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2), 1);

  EXPECT_TRUE(At(form_.Panel1, 0, 0, S(530), S(81)));
  EXPECT_TRUE(At(form_.SpeedButton1, S(8), S(8), S(177), S(33)));
  EXPECT_TRUE(At(form_.SpeedButton2, S(200), S(8), S(153), S(33)));
  EXPECT_TRUE(At(form_.SpeedButton3, S(368), S(8), S(153), S(33)));
  EXPECT_TRUE(At(form_.Edit1, S(8), S(48), S(513), S(19)));
  // The status bar is as high as the system makes it: at least what the
  // form asks for (Wine 10 and Windows size it by its font); the result
  // area takes the rest.
  const RECT barPlace = PlaceOf(form_.StatusBar);
  const int bar = barPlace.bottom - barPlace.top;
  std::cout << "status bar " << bar << " pixels high\n";
  EXPECT_GE(bar, S(21));
  EXPECT_TRUE(At(form_.Memo1, 0, S(81), S(530), S(309) - S(81) - bar));
  EXPECT_TRUE(At(form_.StatusBar, 0, S(309) - bar, S(530), bar));

  EXPECT_EQ(Text(form_.handle()), L"Form1");
  EXPECT_EQ(Text(form_.Edit1), L"");
  EXPECT_EQ(Text(form_.Memo1), L"Memo1");
  EXPECT_EQ(StatusText(form_.StatusBar), L"");
  EXPECT_EQ(Text(form_.SpeedButton2), L"IE\u304B\u3089URL\u3092\u53D6\u5F97");
  EXPECT_EQ(GetFocus(), form_.Edit1);
  const LONG_PTR memo = GetWindowLongPtrW(form_.Memo1, GWL_STYLE);
  EXPECT_TRUE((memo & WS_HSCROLL) && (memo & WS_VSCROLL) && (memo & ES_MULTILINE));
  EXPECT_TRUE(GetWindowLongPtrW(form_.StatusBar, GWL_STYLE) & SBARS_SIZEGRIP);
  EXPECT_TRUE(form_.controller().hasPageLinks());

  // Every caption fits its button beside its image, whichever face stands
  // in for the form's: nothing is drawn on the columns just inside the
  // button's raised edges.
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form_.Edit1, WM_GETFONT, 0, 0)), sizeof font,
             &font);
  std::cout << "font " << Narrow(font.lfFaceName) << ", " << -font.lfHeight << " pixels\n";
  const int edge = 2 * S(1);
  for (HWND button : {form_.SpeedButton1, form_.SpeedButton2, form_.SpeedButton3}) {
    RECT area;
    GetClientRect(button, &area);
    HDC dc = GetDC(button);
    for (const int x : {edge, static_cast<int>(area.right) - 1 - edge}) {
      bool blank = true;
      for (int y = edge; y < area.bottom - edge; ++y) {
        blank = blank && GetPixel(dc, x, y) == GetSysColor(COLOR_BTNFACE);
      }
      EXPECT_TRUE(blank) << "button " << GetDlgCtrlID(button) << ", column " << x;
    }
    ReleaseDC(button, dc);
  }

  // The logo stands pixel for pixel as drawn for this density.
  const wchar_t* art = dpi >= 168 ? L"LOGO_200" : dpi >= 120 ? L"LOGO_150" : L"LOGO";
  const auto logo = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), art, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(logo, nullptr);
  BITMAP size{};
  GetObjectW(logo, sizeof size, &size);
  HDC memory = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(memory, logo);
  const std::vector<COLORREF> image = PixelsOf(memory, size.bmWidth, size.bmHeight);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(logo);
  HDC dc = GetDC(form_.SpeedButton1);
  const int width = S(177);
  const std::vector<COLORREF> button = PixelsOf(dc, width, S(33));
  ReleaseDC(form_.SpeedButton1, dc);
  const COLORREF key = image[static_cast<std::size_t>((size.bmHeight - 1) * size.bmWidth)];
  bool found = false;
  for (int top = 0; !found && top + size.bmHeight <= S(33); ++top) {
    for (int left = 0; !found && left + size.bmWidth <= width; ++left) {
      found = true;
      for (int i = 0; found && i < size.bmWidth * size.bmHeight; ++i) {
        const COLORREF pixel = image[static_cast<std::size_t>(i)];
        found = pixel == key ||
                pixel == button[static_cast<std::size_t>((top + i / size.bmWidth) * width + left +
                                                         i % size.bmWidth)];
      }
    }
  }
  EXPECT_TRUE(found) << "no " << Narrow(art) << " in SpeedButton1";

  // Wider and taller: the panel and the result area follow, the rest stays.
  SetWindowPos(form_.handle(), nullptr, 0, 0, S(1000), S(700), SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(form_.handle(), &client);
  EXPECT_TRUE(At(form_.Panel1, 0, 0, client.right, S(81)));
  EXPECT_TRUE(At(form_.Edit1, S(8), S(48), S(513), S(19)));
  EXPECT_TRUE(At(form_.SpeedButton3, S(368), S(8), S(153), S(33)));
  EXPECT_TRUE(At(form_.Memo1, 0, S(81), client.right, client.bottom - S(81) - bar));
  EXPECT_TRUE(At(form_.StatusBar, 0, client.bottom - bar, client.right, bar));
}

TEST_F(Window, KeyboardAndLengths) {
  // Tab goes between the two fields and types nothing; Enter in the URL
  // field does nothing.
  SetWindowTextW(form_.Edit1, L"http://x/");
  SendMessageW(form_.Edit1, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), form_.Memo1);
  SendMessageW(form_.Memo1, WM_CHAR, '\t', 0);
  SendMessageW(form_.Memo1, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(GetFocus(), form_.Edit1);
  EXPECT_EQ(Text(form_.Memo1), L"Memo1");
  SendMessageW(form_.Edit1, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(form_.Edit1, WM_CHAR, '\r', 0);
  EXPECT_EQ(Text(form_.Edit1), L"http://x/");
  EXPECT_EQ(StatusText(form_.StatusBar), L"");

  // A click on a button leaves the focus where it was.
  Click(form_.SpeedButton2);
  EXPECT_EQ(GetFocus(), form_.Edit1);

  // Both fields take far more than an edit control's default 30 000
  // characters, typed in or put in.
  const std::wstring longText(100000, L'a');
  SendMessageW(form_.Edit1, EM_SETSEL, 0, -1);
  SendMessageW(form_.Edit1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(longText.c_str()));
  EXPECT_EQ(GetWindowTextLengthW(form_.Edit1), 100000);
  SendMessageW(form_.Memo1, EM_SETSEL, 0, -1);
  SendMessageW(form_.Memo1, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(longText.c_str()));
  EXPECT_EQ(GetWindowTextLengthW(form_.Memo1), 100000);
}

// Alt and a letter as the keyboard sends them, to the field with the focus.
void PressAlt(WORD letter) {
  const std::pair<WORD, DWORD> strokes[] = {
      {VK_MENU, 0}, {letter, 0}, {letter, KEYEVENTF_KEYUP}, {VK_MENU, KEYEVENTF_KEYUP}};
  INPUT keys[4] = {};
  for (std::size_t i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = strokes[i].first;
    keys[i].ki.dwFlags = strokes[i].second;
  }
  SendInput(4, keys, sizeof(INPUT));
}

// Handles messages until done says so, for about 5 s at most.
bool PumpUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 250 && !done(); ++i) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Pump();
  }
  return done();
}

// Alt+I and Alt+D from the fields do what the buttons do and type nothing
// (Alt+L goes the same way); then the names a screen reader asks the system
// for: the fields' from their labels, a button's caption, the status text.
TEST(AccessKeys, PressTheButtonsAndNames) {
  const std::string url = "http://" + kSiteHost + "/servlet/p1";
  LoopbackSite site(quillo::testing::ServePages({quillo::testing::Page({}, {"a1"})}), {kSiteHost});
  quillo::shell::testing::FakeShell shell;
  shell.windows = {
      quillo::shell::testing::FakeWindow::Browser(std::u16string(url.begin(), url.end()))};
  TForm1 form(
      quillo::Ports{site.sockets(), quillo::net::SystemTls(), shell, quillo::SystemLauncher()});
  form.Create(nullptr);
  ShowWindow(form.handle(), SW_SHOWNORMAL);
  SetForegroundWindow(form.handle());
  Pump();

  SetFocus(form.Memo1);
  PressAlt('I');
  EXPECT_TRUE(PumpUntil([&] { return Text(form.Edit1) == Wide(url); }));
  EXPECT_EQ(Text(form.Memo1), L"Memo1");
  SetFocus(form.Edit1);
  PressAlt('D');
  const std::wstring done = Wide(quillo::texts::kDownloadDone);
  EXPECT_TRUE(PumpUntil([&] { return StatusText(form.StatusBar) == done; }));
  EXPECT_EQ(Text(form.Memo1), L"a1\r\n");
  EXPECT_EQ(Text(form.Edit1), Wide(url));
  EXPECT_EQ(site.requests().size(), 2u);

  const std::pair<HWND, std::wstring> named[] = {
      {form.Edit1, L"URL"},
      {form.Memo1, L"\u7D50\u679C"},
      {form.SpeedButton3, L"CSV\u3067\u30C0\u30A6\u30F3\u30ED\u30FC\u30C9"},
      {form.StatusBar, done}};
  for (const auto& [control, name] : named) {
    IAccessible* accessible = nullptr;
    // __uuidof: oleacc's import library exports an IID_IAccessible of its own,
    // which is not the GUID.
    ASSERT_EQ(
        AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&accessible)),
        S_OK);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR got = nullptr;
    accessible->get_accName(self, &got);
    EXPECT_EQ(std::wstring(got != nullptr ? got : L""), name) << GetDlgCtrlID(control);
    SysFreeString(got);
    accessible->Release();
  }
}

TEST_F(Window, TenThousandLines) {
  constexpr int kLines = 10000;
  std::vector<std::string> entries;
  for (int i = 1; i <= kLines; ++i)
    entries.push_back("entry " + std::to_string(i) + ",\x83\x65\x83X\x83g");
  LoopbackSite site(quillo::testing::ServePages({quillo::testing::Page({}, entries)}), {kSiteHost});
  TForm1 form(
      quillo::Ports{site.sockets(), quillo::net::SystemTls(), shell_, quillo::SystemLauncher()});
  form.Create(nullptr);
  ShowWindow(form.handle(), SW_SHOWNORMAL);
  SetWindowTextW(form.Edit1, Wide("http://" + kSiteHost + "/servlet/p1").c_str());

  // Typing that arrives during the run is dropped.
  PostMessageW(form.Edit1, WM_CHAR, 'x', 0);
  const auto start = std::chrono::steady_clock::now();
  Click(form.SpeedButton3);
  const auto took = std::chrono::steady_clock::now() - start;
  std::cout << kLines << " lines appended in "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";

  EXPECT_EQ(StatusText(form.StatusBar), Wide(quillo::texts::kDownloadDone));
  EXPECT_EQ(SendMessageW(form.Memo1, EM_GETLINECOUNT, 0, 0), kLines + 1);
  const std::wstring all = Text(form.Memo1);
  EXPECT_EQ(all.substr(0, 18), L"entry 1,\u30C6\u30B9\u30C8\r\nentry");
  EXPECT_EQ(all.substr(all.size() - 17), L"entry 10000,\u30C6\u30B9\u30C8\r\n");
  EXPECT_FALSE(form.controller().running());
  EXPECT_EQ(Text(form.Edit1), Wide("http://" + kSiteHost + "/servlet/p1"));
}

// The panel's bevel and the status bar's sizing grip stand at the right edge
// after every resize, and nothing of them stays where the edge was.
TEST_F(Window, BevelAndGripFollowTheRightEdge) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  // Whether any pixel of the bar's last 16 columns before right is not its
  // face: the grip's dots.
  const auto gripBefore = [&](int right) {
    HDC dc = GetDC(form_.StatusBar);
    bool drawn = false;
    for (int x = right - 16; x < right; ++x) {
      for (int y = 2; y < 21; ++y) drawn = drawn || GetPixel(dc, x, y) != face;
    }
    ReleaseDC(form_.StatusBar, dc);
    return drawn;
  };
  const auto panelPixel = [&](int x) {
    HDC dc = GetDC(form_.Panel1);
    const COLORREF colour = GetPixel(dc, x, 70);
    ReleaseDC(form_.Panel1, dc);
    return colour;
  };
  const auto resize = [&](int clientWidth) {
    RECT outer{0, 0, clientWidth, 309};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(form_.handle(), GWL_STYLE)),
                       FALSE, 0);
    SetWindowPos(form_.handle(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    RedrawWindow(form_.handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
  };
  ASSERT_TRUE(gripBefore(530));
  ASSERT_EQ(panelPixel(529), shadow);

  resize(800);
  EXPECT_EQ(panelPixel(799), shadow);
  EXPECT_EQ(panelPixel(529), RGB(255, 255, 255));
  EXPECT_TRUE(gripBefore(800));
  EXPECT_FALSE(gripBefore(530));

  resize(400);
  EXPECT_EQ(panelPixel(399), shadow);
  EXPECT_TRUE(gripBefore(400));
}

// Records the program's start and end as they happen.
std::vector<std::string> steps;

class RecordingSockets : public quillo::testing::LoopbackSockets {
 public:
  RecordingSockets() : LoopbackSockets(1) {}
  void startup(std::uint16_t version) override {
    steps.push_back("sockets start " + std::to_string(version));
    LoopbackSockets::startup(version);
  }
  void cleanup() override {
    steps.push_back("sockets end");
    LoopbackSockets::cleanup();
  }
};

HWND shownForm = nullptr;

TEST(Program, StartsAndEndsInOrder) {
  steps.clear();
  RecordingSockets sockets;
  quillo::shell::testing::FakeShell shell;
  const ComLibrary com{
      [] { steps.push_back("com start"); },
      [] { steps.push_back(IsWindow(shownForm) ? "com end, form still there" : "com end"); }};
  const int code =
      RunProgram(quillo::Ports{sockets, quillo::net::SystemTls(), shell, quillo::SystemLauncher()},
                 com, SW_SHOWMAXIMIZED, [](TForm1& form) {
                   shownForm = form.handle();
                   steps.push_back(form.controller().hasPageLinks() ? "shown, PageLinks"
                                                                    : "shown, no PageLinks");
                   if (IsZoomed(form.handle())) steps.push_back("maximised");
                   PostMessageW(form.handle(), WM_CLOSE, 0, 0);
                 });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(steps, (std::vector<std::string>{"sockets start 257", "com start", "shown, PageLinks",
                                             "maximised", "com end", "sockets end"}));
}

// Windows that become active, and when the form is destroyed.
std::vector<std::wstring> activated;
std::chrono::steady_clock::time_point formDestroyed;

LRESULT CALLBACK RecordWindows(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE || code == HCBT_DESTROYWND) {
    wchar_t name[64] = {};
    GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
    if (code == HCBT_ACTIVATE) activated.push_back(name);
    if (code == HCBT_DESTROYWND && std::wstring(name) == L"TForm1") {
      formDestroyed = std::chrono::steady_clock::now();
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// When the close was sent.
std::chrono::steady_clock::time_point closeSent;

// A server that accepts and never answers: Alt+F4 ends the run and the
// program, with the usual end; over https the run waits in the handshake.
class StalledRun : public ::testing::TestWithParam<std::string> {};

TEST_P(StalledRun, CloseEndsTheProgram) {
  LoopbackSite stalled({{"", 0, false, true}}, {kSiteHost});
  quillo::shell::testing::FakeShell shell;
  HHOOK hook = SetWindowsHookExW(WH_CBT, RecordWindows, nullptr, GetCurrentThreadId());
  const int code = RunProgram(
      quillo::Ports{stalled.sockets(), quillo::net::SystemTls(), shell, quillo::SystemLauncher()},
      ComLibrary{[] {}, [] {}}, SW_SHOWNORMAL, [](TForm1& form) {
        SetWindowTextW(form.Edit1, Wide(GetParam() + "://" + kSiteHost + "/servlet/p1").c_str());
        PostMessageW(form.SpeedButton3, BM_CLICK, 0, 0);
        // Alt+F4 in the URL field, once the run waits.
        SetTimer(form.Edit1, 1, 300, [](HWND edit, UINT, UINT_PTR id, DWORD) {
          KillTimer(edit, id);
          closeSent = std::chrono::steady_clock::now();
          PostMessageW(edit, WM_SYSKEYDOWN, VK_F4, LPARAM{1} << 29);
        });
      });
  const auto ended = std::chrono::steady_clock::now();
  UnhookWindowsHookEx(hook);
  const auto ms = [](auto d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  std::cout << "form destroyed " << ms(formDestroyed - closeSent) << " ms, program ended "
            << ms(ended - closeSent) << " ms after the close\n";
  EXPECT_EQ(code, 0);
  EXPECT_LT(formDestroyed - closeSent, std::chrono::seconds(1));
  EXPECT_EQ(stalled.requests().size(), 1u);
  EXPECT_EQ(stalled.sockets().openSockets(), 0);
}

INSTANTIATE_TEST_SUITE_P(Program, StalledRun, ::testing::Values("http", "https"));

TEST(Program, MinimisedStartNeverActivatesTheForm) {
  activated.clear();
  HHOOK hook = SetWindowsHookExW(WH_CBT, RecordWindows, nullptr, GetCurrentThreadId());
  quillo::testing::LoopbackSockets sockets(1);
  quillo::shell::testing::FakeShell shell;
  RunProgram(quillo::Ports{sockets, quillo::net::SystemTls(), shell, quillo::SystemLauncher()},
             ComLibrary{[] {}, [] {}}, SW_SHOWMINNOACTIVE, [](TForm1& form) {
               const HWND owner = GetWindow(form.handle(), GW_OWNER);
               EXPECT_TRUE(IsIconic(owner));
               EXPECT_FALSE(IsWindowVisible(form.handle()));
               EXPECT_EQ(std::count(activated.begin(), activated.end(), L"TForm1"), 0);
               // Restored from the task bar, the form comes back.
               ShowWindow(owner, SW_RESTORE);
               EXPECT_TRUE(IsWindowVisible(form.handle()));
               PostMessageW(form.handle(), WM_CLOSE, 0, 0);
             });
  UnhookWindowsHookEx(hook);
}

}  // namespace
