#include "support/FakeShell.h"

#include <memory>
#include <utility>

#include "platform/Codepage.h"

namespace quillo::shell::testing {

// Counts itself among the shell's live objects for as long as it exists.
class FakeObject {
 public:
  explicit FakeObject(FakeShell& shell) : shell_(shell) { ++shell_.live_; }
  FakeObject(const FakeObject&) = delete;
  FakeObject& operator=(const FakeObject&) = delete;
  ~FakeObject() { --shell_.live_; }

 protected:
  FakeShell& shell_;
};

namespace {

class FakeBrowser final : public WebBrowser, private FakeObject {
 public:
  FakeBrowser(FakeShell& shell, std::size_t index) : FakeObject(shell), index_(index) {}

  CallResult locationUrl(std::u16string& url) override {
    shell_.calls.push_back("url " + std::to_string(index_));
    const FakeWindow& window = shell_.windows.at(index_);
    if (!window.urlResult.failed()) url = *window.url;
    return window.urlResult;
  }

 private:
  std::size_t index_;
};

class FakeItem final : public ShellItem, private FakeObject {
 public:
  FakeItem(FakeShell& shell, std::size_t index) : FakeObject(shell), index_(index) {}

  std::unique_ptr<WebBrowser> browser() override {
    shell_.calls.push_back("browser " + std::to_string(index_));
    if (!shell_.windows.at(index_).url) return nullptr;
    return std::make_unique<FakeBrowser>(shell_, index_);
  }

 private:
  std::size_t index_;
};

class FakeList final : public ShellWindowList, private FakeObject {
 public:
  explicit FakeList(FakeShell& shell) : FakeObject(shell) {}

  CallResult count(std::int32_t& count) override {
    shell_.calls.push_back("count");
    count = static_cast<std::int32_t>(shell_.windows.size());
    return shell_.countResult;
  }

  CallResult item(std::int32_t index, std::unique_ptr<ShellItem>& item) override {
    shell_.calls.push_back("item " + std::to_string(index));
    if (index < 0 || static_cast<std::size_t>(index) >= shell_.windows.size()) {
      return {kFalse, {}};
    }
    const FakeWindow& window = shell_.windows[static_cast<std::size_t>(index)];
    if (window.itemResult.failed()) return window.itemResult;
    if (window.closed) return {kFalse, {}};
    item = std::make_unique<FakeItem>(shell_, static_cast<std::size_t>(index));
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

CallResult FakeShell::createWindowList(std::unique_ptr<ShellWindowList>& list) {
  calls.push_back("create");
  if (createResult.failed()) return createResult;
  if (!lacksListInterface) list = std::make_unique<FakeList>(*this);
  return createResult;
}

std::string FakeShell::systemMessage(std::int32_t code) {
  const auto found = systemMessages.find(code);
  return found == systemMessages.end() ? std::string() : found->second;
}

std::string FakeShell::toCodePage(std::u16string_view address) { return cp932::FromUtf16(address); }

}  // namespace quillo::shell::testing
