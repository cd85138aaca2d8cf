#pragma once

// The window program on Windows from start to end, in this order: socket
// library start (version 1.1), COM start, the task-bar window and the form
// (FormCreate), shown as the start-up request asks, the message loop; then
// FormDestroy, COM release, socket library release.

#include <functional>

#include "app/win32/Main.h"
#include "core/Ports.h"

struct ComLibrary {
  void (*startup)();
  void (*cleanup)();
};

// showCommand: WinMain's. shown, when given, is called with the form once it
// is shown, before the message loop runs. Returns the program's exit code.
int RunProgram(const quillo::Ports& ports, const ComLibrary& com, int showCommand,
               const std::function<void(TForm1&)>& shown = {});
