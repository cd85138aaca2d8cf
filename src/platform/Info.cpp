#include "platform/Info.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they build on.
#include <objbase.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Codepage.h"
#endif

namespace quillo {
namespace {

std::uintptr_t launchOwner = 0;

#ifndef _WIN32
// xdg-open, with target as its single argument, in a grandchild that the
// init process adopts: the caller neither waits for the browser nor leaves a
// zombie behind. Only async-signal-safe calls happen after the fork, since
// the window's process has other threads.
void OpenDetached(const std::string& target) {
  char program[] = "xdg-open";
  std::vector<char> argument(target.begin(), target.end());
  argument.push_back('\0');
  char* const argv[] = {program, argument.data(), nullptr};

  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    if (::fork() == 0) {
      ::setsid();
      const int null = ::open("/dev/null", O_RDWR);
      if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
      }
      // Sockets and files of the program are none of the browser's business.
      ::close_range(3, ~0u, 0);
      ::execvp(program, argv);
      ::_exit(127);
    }
    ::_exit(0);
  }
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}
#endif

}  // namespace

#ifdef _WIN32
void InfoStartup() { CoInitialize(nullptr); }
void InfoCleanup() { CoUninitialize(); }

void SetLaunchOwner(std::uintptr_t nativeWindow) { launchOwner = nativeWindow; }

namespace {
class ShellLauncher final : public Launcher {
 public:
  void open(std::string_view target, std::string_view parameters,
            std::string_view directory) override {
    const std::string file(target);
    const std::string arguments(parameters);
    const std::string folder(directory);
    ShellExecuteA(reinterpret_cast<HWND>(launchOwner), nullptr, file.c_str(), arguments.c_str(),
                  folder.c_str(), SW_SHOW);
  }
};
}  // namespace
#else
void InfoStartup() {}
void InfoCleanup() {}

// Kept for symmetry with Windows; a detached opener has no owner window.
void SetLaunchOwner(std::uintptr_t nativeWindow) { launchOwner = nativeWindow; }

namespace {
class XdgLauncher final : public Launcher {
 public:
  void open(std::string_view target, std::string_view /*parameters*/,
            std::string_view /*directory*/) override {
    OpenDetached(cp932::ToUtf8(target));
  }
};
}  // namespace
#endif

Launcher& SystemLauncher() {
#ifdef _WIN32
  static ShellLauncher launcher;
#else
  static XdgLauncher launcher;
#endif
  return launcher;
}

}  // namespace quillo
