// quillo on Windows: the window program, wired to the system's sockets,
// shell and launcher.

#include <windows.h>

#include "app/win32/Program.h"
#include "platform/Info.h"
#include "platform/ShellWindows.h"
#include "platform/Sockets.h"
#include "platform/Tls.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int showCommand) {
  const quillo::Ports ports{quillo::net::SystemSockets(), quillo::net::SystemTls(),
                            quillo::shell::SystemShell(), quillo::SystemLauncher()};
  return RunProgram(ports, ComLibrary{quillo::InfoStartup, quillo::InfoCleanup}, showCommand);
}
