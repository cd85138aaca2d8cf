#pragma once

// The lists of open browser windows, each shaped like the Windows shell's
// window list (IShellWindows with IWebBrowser2 items) so that one lookup
// works over every platform's sources of window addresses: the port through
// which the core's GetBrowserUrl asks. Windows has two lists, the shell's
// own (SHDocVw_TLB.cpp) and the running browsers' tabs; Linux the tabs
// alone (ShellWindowsLinux.cpp); tests hand in their own.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillo::shell {

// HRESULT values the implementations report.
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kFalse = 1;                                      // S_FALSE: a success
inline constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);  // E_FAIL

// The outcome of one call on the list or on one of its windows: the result
// code (negative is a failure; every other value, S_FALSE included, is a
// success) and, for a failure, the description the failing object left in
// the thread's error information (CP932, empty when it left none).
struct CallResult {
  std::int32_t code = kOk;
  std::string description;

  bool failed() const { return code < 0; }
};

// A window's browser interface (IWebBrowser2).
class WebBrowser {
 public:
  virtual ~WebBrowser() = default;
  // The address the window shows (LocationURL).
  virtual CallResult locationUrl(std::u16string& url) = 0;
};

// One window of the list.
class ShellItem {
 public:
  virtual ~ShellItem() = default;
  // The window's browser interface, or nullptr when it offers none (a
  // file-browsing window, say).
  virtual std::unique_ptr<WebBrowser> browser() = 0;
};

// The window list (IShellWindows). Releasing it releases nothing the items
// still need: every item owns what it holds.
class ShellWindowList {
 public:
  virtual ~ShellWindowList() = default;
  virtual CallResult count(std::int32_t& count) = 0;
  // The window at index (0-based). A successful call may leave item empty:
  // the window closed while the list was being read.
  virtual CallResult item(std::int32_t index, std::unique_ptr<ShellItem>& item) = 0;
};

// Where window lists come from, and the system's texts for their codes.
class ShellApi {
 public:
  virtual ~ShellApi() = default;
  // How many window lists there are; they are searched in index order, and
  // each is made only when the search gets to it.
  virtual std::size_t listCount() = 0;
  // A new window list number index (CoShellWindows create for the shell's).
  // A failed creation returns its code and leaves list empty; an object that
  // was created but lacks the window-list interface is reported as success
  // with list left empty.
  virtual CallResult createWindowList(std::size_t index,
                                      std::unique_ptr<ShellWindowList>& list) = 0;
  // The system's message text for code (CP932) as fetched into a 256-byte
  // area, not trimmed; empty when the system has none or it does not fit.
  virtual std::string systemMessage(std::int32_t code) = 0;
  // A window's address (UTF-16) in CP932, the system's conversion: a
  // character that CP932 cannot hold becomes its default character.
  virtual std::string toCodePage(std::u16string_view address) = 0;
};

}  // namespace quillo::shell
