// quillo-cli: the download run for scripts and headless use. Entry lines go
// to standard output, status texts and the error message to standard error.

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "core/DownloadRun.h"
#include "core/Http.h"
#include "core/Messages.h"
#include "platform/Codepage.h"
#include "platform/Sockets.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: quillo-cli [--raw] URL\n"
    "\n"
    "Downloads the result page at URL and every further result page it links to,\n"
    "and prints one line per listing entry on standard output. Status texts go to\n"
    "standard error. URL is taken as UTF-8 and sent as Shift-JIS (CP932).\n"
    "\n"
    "  --raw    write the entry lines as the page's Shift-JIS bytes, unconverted\n"
    "  --help   show this text\n"
    "\n"
    "Exit status: 0 when the run completed, 1 when it ended with an error\n"
    "(the message is on standard error), 2 for a usage error.\n";

void Write(std::FILE* stream, std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fputc('\n', stream);
}

class ConsoleView final : public quillo::RunView {
 public:
  ConsoleView(std::string url, bool raw) : url_(std::move(url)), raw_(raw) {}

  std::string urlText() override { return url_; }
  void setStatus(std::string_view status) override {
    Write(stderr, quillo::cp932::ToUtf8(status));
    std::fflush(stderr);
  }
  void clearLines() override {}  // lines already written stay written
  void appendLine(std::string_view line) override {
    Write(stdout, raw_ ? std::string(line) : quillo::cp932::ToUtf8(line));
  }

 private:
  std::string url_;
  bool raw_;
};

// Socket library start and release around the whole program.
class SocketLibrary {
 public:
  explicit SocketLibrary(quillo::net::SocketApi& sockets) : sockets_(sockets) {
    quillo::HttpStartup(sockets_);
  }
  ~SocketLibrary() { quillo::HttpCleanup(sockets_); }
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

 private:
  quillo::net::SocketApi& sockets_;
};

int Fail(std::string_view message) {
  std::fflush(stdout);
  Write(stderr, quillo::cp932::ToUtf8(quillo::WithFullStop(message)));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool raw = false;
  const char* url = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    }
    if (arg == "--raw") {
      raw = true;
    } else if (url == nullptr && (arg.empty() || arg[0] != '-' || arg == "-")) {
      url = argv[i];
    } else {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
      return 2;
    }
  }
  if (url == nullptr) {
    std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
    return 2;
  }

  quillo::net::SocketApi& sockets = quillo::net::SystemSockets();
  const SocketLibrary library(sockets);
  try {
    ConsoleView view(quillo::cp932::FromUtf8(url), raw);
    quillo::PageLinkList pageLinks;
    quillo::DownloadRun(view, pageLinks, sockets);
  } catch (const quillo::Error& e) {
    return Fail(e.message());
  } catch (const std::bad_alloc&) {
    return Fail("Out of memory");
  } catch (const std::exception& e) {
    // Nothing but the fetch raises Error; whatever else escapes (memory
    // running out while parsing) still ends the run with its message.
    return Fail(e.what());
  }
  std::fflush(stdout);
  return std::ferror(stdout) ? 1 : 0;
}
