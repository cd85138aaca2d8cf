// quillo: the window program. Start order: socket library, COM (the shell
// side), the toolkit, the main window; the end runs in reverse.

#include <QApplication>
#include <QIcon>
#include <cstdint>

#include "app/Main.h"
#include "core/Http.h"
#include "platform/Info.h"
#include "platform/ShellWindows.h"
#include "platform/Sockets.h"
#include "platform/Tls.h"

namespace {

struct ComLibrary {
  ComLibrary() { quillo::InfoStartup(); }
  ~ComLibrary() { quillo::InfoCleanup(); }
  ComLibrary(const ComLibrary&) = delete;
  ComLibrary& operator=(const ComLibrary&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
  // The system's side of everything the window calls out through.
  const quillo::Ports ports{quillo::net::SystemSockets(), quillo::net::SystemTls(),
                            quillo::shell::SystemShell(), quillo::SystemLauncher()};
  const quillo::SocketLibrary sockets(ports.sockets);
  const ComLibrary com;
  QApplication app(argc, argv);
  // The application's title names the task-bar entry and the error box. It
  // is not the display name, which Qt would append to the caption "Form1".
  QApplication::setApplicationName(ApplicationTitleOf(QApplication::applicationFilePath()));
  QApplication::setWindowIcon(ApplicationIcon());

  TForm1 form(ports);
  quillo::SetLaunchOwner(static_cast<std::uintptr_t>(form.winId()));
  form.show();
  return QApplication::exec();
}
