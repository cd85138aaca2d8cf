// quillo-probe: a test helper that runs one piece of the program in a process
// of its own, so that the tests can look at what a separate executable does
// (its file name, the shell it calls, a crash) from the outside.
//
//   quillo-probe title               the application title from this file's name
//   quillo-probe error-text CODE     the system's text for CODE, UTF-8, untrimmed
//   quillo-probe browser-url PREFIX  GetBrowserUrl(PREFIX) between COM start and end
//   quillo-probe launch TARGET       LaunchTarget(TARGET) between COM start and end
//   quillo-probe record ARG...       appends its arguments to %QUILLO_LAUNCH_RECORD%
//   quillo-probe box TITLE           the message box titled TITLE that another
//                                    program shows: its text, icon and buttons
//   quillo-probe hold-lock firefox|chromium PATH
//                                    holds the lock file at PATH as that
//                                    browser does, until standard input ends
//
// Arguments are ASCII (main sees them in the ANSI code page), but for
// hold-lock's PATH; what it prints is UTF-8.

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "core/BrowserUrl.h"
#include "core/Launch.h"
#include "core/Messages.h"
#include "platform/Codepage.h"
#include "platform/Info.h"
#include "platform/ShellWindows.h"

namespace {

void Print(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

// The file name the system started this process from, without its directory.
std::string OwnFileName() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring_view name(path, length);
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring_view::npos) name.remove_prefix(slash + 1);
  return quillo::cp932::FromUtf8(Utf8(name));
}

int Title() {
  Print(quillo::cp932::ToUtf8(quillo::ApplicationTitle(OwnFileName())));
  return 0;
}

int ErrorText(const char* code) {
  wchar_t text[1024] = {};
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(std::strtoul(code, nullptr, 0)), 0, text, 1024, nullptr);
  Print(Utf8(std::wstring_view(text, length)));
  return 0;
}

// COM for this thread around one call, as the program's start and end do.
struct ComLibrary {
  ComLibrary() { quillo::InfoStartup(); }
  ~ComLibrary() { quillo::InfoCleanup(); }
};

int BrowserUrl(const char* prefix) {
  ComLibrary com;
  try {
    const std::string url =
        quillo::GetBrowserUrl(quillo::shell::SystemShell(), quillo::cp932::FromUtf8(prefix));
    Print(url.empty() ? "empty" : "address: " + quillo::cp932::ToUtf8(url));
  } catch (const quillo::Error& e) {
    Print("error: " + quillo::cp932::ToUtf8(e.message()));
  }
  return 0;
}

int Launch(const char* target) {
  ComLibrary com;
  quillo::LaunchTarget(quillo::SystemLauncher(), quillo::cp932::FromUtf8(target), "");
  Print("returned");
  return 0;
}

int Record(int argc, char** argv) {
  const char* path = std::getenv("QUILLO_LAUNCH_RECORD");
  if (path == nullptr) return 1;
  std::FILE* file = std::fopen(path, "ab");
  if (file == nullptr) return 1;
  for (int i = 2; i < argc; ++i) std::fprintf(file, "%s\n", argv[i]);
  std::fclose(file);
  return 0;
}

// What a message box of another process shows, read through its child
// windows: the text, whether an icon stands beside it, the buttons' captions.
int Box(const char* title) {
  const std::wstring wanted(title, title + std::strlen(title));
  HWND box = nullptr;
  for (int tries = 0; tries < 100 && box == nullptr; ++tries) {
    box = FindWindowW(L"#32770", wanted.c_str());
    if (box == nullptr) Sleep(100);
  }
  if (box == nullptr) {
    Print("no box");
    return 1;
  }
  struct Seen {
    std::string text, buttons;
    bool icon = false;
  } seen;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM data) -> BOOL {
        auto& found = *reinterpret_cast<Seen*>(data);
        wchar_t type[64] = {};
        GetClassNameW(child, type, 64);
        wchar_t text[1024] = {};
        GetWindowTextW(child, text, 1024);
        const std::wstring_view name(type);
        if (name == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          found.icon = true;
        } else if (name == L"Static" && text[0] != L'\0') {
          found.text = Utf8(text);
        } else if (name == L"Button" && IsWindowVisible(child)) {
          found.buttons += (found.buttons.empty() ? "" : " ") + Utf8(text);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&seen));
  Print("text: " + seen.text);
  Print(std::string("icon: ") + (seen.icon ? "yes" : "no"));
  Print("buttons: " + seen.buttons);
  return 0;
}

// Firefox opens parent.lock with no sharing at all, so another open fails
// with a sharing violation; the file stays when it is let go. Chromium
// creates lockfile letting others only read it, and has it deleted on close.
int HoldLock(std::string_view browser) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count != 4) return 2;
  const bool firefox = browser == "firefox";
  const HANDLE lock =
      firefox
          ? CreateFileW(args[3], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)
          : CreateFileW(args[3], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  LocalFree(args);
  if (lock == INVALID_HANDLE_VALUE) {
    Print("error " + std::to_string(GetLastError()));
    return 1;
  }
  Print("held");
  while (std::fgetc(stdin) != EOF) {
  }
  CloseHandle(lock);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "title" && argc == 2) return Title();
  if (command == "error-text" && argc == 3) return ErrorText(argv[2]);
  if (command == "browser-url" && argc == 3) return BrowserUrl(argv[2]);
  if (command == "launch" && argc == 3) return Launch(argv[2]);
  if (command == "record") return Record(argc, argv);
  if (command == "box" && argc == 3) return Box(argv[2]);
  if (command == "hold-lock" && argc == 4) return HoldLock(argv[2]);
  std::fputs(
      "usage: quillo-probe title | error-text CODE | browser-url PREFIX |"
      " launch TARGET | record ARG... | box TITLE |"
      " hold-lock firefox|chromium PATH\n",
      stderr);
  return 2;
}
