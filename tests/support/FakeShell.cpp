#include "support/FakeShell.h"

#include <memory>
#include <utility>

#include "platform/Codepage.h"

namespace quillo::shell::testing {

// Counts itself among the shell's live objects for as long as it exists.
// Each belongs to one of the shell's lists, and logs its calls under it.
class FakeObject {
 public:
  FakeObject(FakeShell& shell, std::size_t list) : shell_(shell), list_(list) { ++shell_.live_; }
  FakeObject(const FakeObject&) = delete;
  FakeObject& operator=(const FakeObject&) = delete;
  ~FakeObject() { --shell_.live_; }

 protected:
  const FakeList& script() const {
    return list_ == 0 ? static_cast<const FakeList&>(shell_) : shell_.laterLists.at(list_ - 1);
  }
  void log(const std::string& call) {
    shell_.calls.push_back(list_ == 0 ? call : std::to_string(list_) + " " + call);
  }

  FakeShell& shell_;
  std::size_t list_;
};

namespace {

class FakeBrowser final : public WebBrowser, private FakeObject {
 public:
  FakeBrowser(FakeShell& shell, std::size_t list, std::size_t index)
      : FakeObject(shell, list), index_(index) {}

  CallResult locationUrl(std::u16string& url) override {
    log("url " + std::to_string(index_));
    const FakeWindow& window = script().windows.at(index_);
    if (!window.urlResult.failed()) url = *window.url;
    return window.urlResult;
  }

 private:
  std::size_t index_;
};

class FakeItem final : public ShellItem, private FakeObject {
 public:
  FakeItem(FakeShell& shell, std::size_t list, std::size_t index)
      : FakeObject(shell, list), index_(index) {}

  std::unique_ptr<WebBrowser> browser() override {
    log("browser " + std::to_string(index_));
    if (!script().windows.at(index_).url) return nullptr;
    return std::make_unique<FakeBrowser>(shell_, list_, index_);
  }

 private:
  std::size_t index_;
};

class ScriptedList final : public ShellWindowList, private FakeObject {
 public:
  ScriptedList(FakeShell& shell, std::size_t list) : FakeObject(shell, list) {}

  CallResult count(std::int32_t& count) override {
    log("count");
    count = static_cast<std::int32_t>(script().windows.size());
    return script().countResult;
  }

  CallResult item(std::int32_t index, std::unique_ptr<ShellItem>& item) override {
    log("item " + std::to_string(index));
    const std::vector<FakeWindow>& windows = script().windows;
    if (index < 0 || static_cast<std::size_t>(index) >= windows.size()) return {kFalse, {}};
    const FakeWindow& window = windows[static_cast<std::size_t>(index)];
    if (window.itemResult.failed()) return window.itemResult;
    if (window.closed) return {kFalse, {}};
    item = std::make_unique<FakeItem>(shell_, list_, static_cast<std::size_t>(index));
    return window.itemResult;
  }
};

}  // namespace

FakeWindow FakeWindow::Browser(std::u16string url) {
  FakeWindow window;
  window.url = std::move(url);
  return window;
}

FakeWindow FakeWindow::WithoutBrowser() { return FakeWindow{}; }

FakeWindow FakeWindow::Closed() {
  FakeWindow window;
  window.closed = true;
  return window;
}

CallResult FakeShell::createWindowList(std::size_t index, std::unique_ptr<ShellWindowList>& list) {
  calls.push_back(index == 0 ? "create" : std::to_string(index) + " create");
  const FakeList& script = index == 0 ? *this : laterLists.at(index - 1);
  if (script.createResult.failed()) return script.createResult;
  if (!script.lacksListInterface) list = std::make_unique<ScriptedList>(*this, index);
  return script.createResult;
}

std::string FakeShell::systemMessage(std::int32_t code) {
  const auto found = systemMessages.find(code);
  return found == systemMessages.end() ? std::string() : found->second;
}

std::string FakeShell::toCodePage(std::u16string_view address) { return cp932::FromUtf16(address); }

}  // namespace quillo::shell::testing
