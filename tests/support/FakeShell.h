#pragma once

// Scripted window lists for tests of everything that reads open browser
// windows (GetBrowserUrl and the window's second button), handed to them in
// place of the platform's lists.
//
//   quillo::shell::testing::FakeShell shell;
//   shell.windows = {FakeWindow::Browser(u"http://other.example/"),
//                    FakeWindow::Browser(u"http://listings.example/a")};
//   quillo::GetBrowserUrl(shell, "http://listings.example/");  // "http://listings.example/a"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/ShellApi.h"

namespace quillo::shell::testing {

// One window of the fake list.
struct FakeWindow {
  // The address; nullopt for a window without the browser interface.
  std::optional<std::u16string> url;
  // Item() answers S_FALSE without a window, as for one that just closed.
  bool closed = false;
  // What Item(index) and LocationURL answer; a failure code makes them fail.
  CallResult itemResult;
  CallResult urlResult;

  static FakeWindow Browser(std::u16string url);
  static FakeWindow WithoutBrowser();
  static FakeWindow Closed();
};

// One list.
struct FakeList {
  // The list's windows, in list order.
  std::vector<FakeWindow> windows;
  // What creating the list answers; lacksListInterface makes a created object
  // without the window-list interface.
  CallResult createResult;
  bool lacksListInterface = false;
  // What Count answers (the count itself is windows.size()).
  CallResult countResult;
};

// Its own fields are the first list; laterLists follow it.
class FakeShell final : public ShellApi, public FakeList {
 public:
  FakeShell() = default;
  FakeShell(const FakeShell&) = delete;
  FakeShell& operator=(const FakeShell&) = delete;

  std::vector<FakeList> laterLists;
  // The system's message texts by code; codes not here have none.
  std::map<std::int32_t, std::string> systemMessages;

  // Every call in order: "create", "count", "item 0", "browser 0", "url 0",
  // ...; those on a later list begin with its number: "1 create".
  std::vector<std::string> calls;
  // Lists, windows and browser interfaces handed out and not yet released.
  int liveObjects() const { return live_; }

  std::size_t listCount() override { return 1 + laterLists.size(); }
  CallResult createWindowList(std::size_t index, std::unique_ptr<ShellWindowList>& list) override;
  std::string systemMessage(std::int32_t code) override;
  // The platform's own conversion, as the real lists use it.
  std::string toCodePage(std::u16string_view address) override;

 private:
  friend class FakeObject;
  int live_ = 0;
};

}  // namespace quillo::shell::testing
