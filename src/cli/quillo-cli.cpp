// quillo-cli: the download run for scripts and headless use. Entry lines go
// to standard output, status texts and the error message to standard error.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/DownloadRun.h"
#include "core/Http.h"
#include "core/Messages.h"
#include "platform/Codepage.h"
#include "platform/Console.h"
#include "platform/Sockets.h"
#include "platform/Tls.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: quillo-cli [--raw] URL\n"
    "\n"
    "Downloads the result page at URL and every further result page it links to,\n"
    "and prints one line per listing entry on standard output. Status texts go to\n"
    "standard error. URL is sent as Shift-JIS (CP932).\n"
    "\n"
    "  --raw    write the entry lines as the page's Shift-JIS bytes, unconverted\n"
    "  --help   show this text\n"
    "\n"
    "Exit status: 0 when the run had every page, 1 when it ended with an error\n"
    "(the message, naming the page or host, is on standard error: a page\n"
    "answered with anything but 200 or cut short is one), 2 for a usage error.\n";

// The page's bytes as they are, for --raw.
bool WriteBytes(std::FILE* stream, std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
         std::fputc('\n', stream) != EOF;
}

class ConsoleView final : public quillo::RunView {
 public:
  ConsoleView(std::string url, bool raw) : url_(std::move(url)), raw_(raw) {}

  std::string urlText() override { return url_; }
  void setStatus(std::string_view status) override {
    quillo::console::WriteLine(stderr, quillo::cp932::ToUtf8(status));
    std::fflush(stderr);
  }
  void clearLines() override {}  // lines already written stay written
  void appendLine(std::string_view line) override {
    const bool written = raw_ ? WriteBytes(stdout, line)
                              : quillo::console::WriteLine(stdout, quillo::cp932::ToUtf8(line));
    linesWritten_ = linesWritten_ && written;
  }

  // Whether every line reached standard output (a console write fails
  // without the stream's error flag).
  bool linesWritten() const { return linesWritten_; }

 private:
  std::string url_;
  bool raw_;
  bool linesWritten_ = true;
};

int Fail(std::string_view message) {
  std::fflush(stdout);
  quillo::console::WriteLine(stderr, quillo::cp932::ToUtf8(quillo::WithFullStop(message)));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = quillo::console::Arguments(argc, argv);
  bool raw = false;
  const std::string* url = nullptr;
  for (const std::string& arg : arguments) {
    if (arg == "--help" || arg == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    }
    if (arg == "--raw") {
      raw = true;
    } else if (url == nullptr && (arg.empty() || arg[0] != '-' || arg == "-")) {
      url = &arg;
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
  const quillo::SocketLibrary library(sockets);
  bool linesWritten = false;
  // Whatever escapes the run (memory running out while parsing, say) ends it
  // with its message, not only the fetch's errors.
  const auto error = quillo::ErrorOf([&] {
    ConsoleView view(quillo::cp932::FromUtf8(*url), raw);
    quillo::PageLinkList pageLinks;
    quillo::DownloadRun(view, pageLinks, sockets, quillo::net::SystemTls());
    linesWritten = view.linesWritten();
  });
  if (error) return Fail(*error);
  std::fflush(stdout);
  return linesWritten && !std::ferror(stdout) ? 0 : 1;
}
