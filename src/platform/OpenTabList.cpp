#include "platform/OpenTabList.h"

#include <exception>
#include <optional>
#include <utility>

#include "platform/Codepage.h"

namespace quillo::shell {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

class TabBrowser final : public WebBrowser {
 public:
  explicit TabBrowser(std::u16string url) : url_(std::move(url)) {}

  CallResult locationUrl(std::u16string& url) override {
    url = url_;
    return {};
  }

 private:
  std::u16string url_;
};

class Tab final : public ShellItem {
 public:
  explicit Tab(std::u16string url) : url_(std::move(url)) {}

  std::unique_ptr<WebBrowser> browser() override { return std::make_unique<TabBrowser>(url_); }

 private:
  std::u16string url_;
};

class OpenTabList final : public ShellWindowList {
 public:
  explicit OpenTabList(TabSource listTabs) : listTabs_(std::move(listTabs)) {}

  CallResult count(std::int32_t& count) override {
    CallResult result = load();
    count = result.failed() ? 0 : static_cast<std::int32_t>(urls_.size());
    return result;
  }

  CallResult item(std::int32_t index, std::unique_ptr<ShellItem>& item) override {
    CallResult result = load();
    if (result.failed()) return result;
    if (index < 0 || static_cast<std::size_t>(index) >= urls_.size()) return {kFalse, {}};
    item = std::make_unique<Tab>(urls_[static_cast<std::size_t>(index)]);
    return result;
  }

 private:
  // The sessions are read once per list, so that every index refers to the
  // same snapshot of the browsers' tabs.
  CallResult load() {
    if (loadResult_) return *loadResult_;
    loadResult_ = CallResult{};
    try {
      for (const browser::OpenTab& tab : listTabs_()) urls_.push_back(Utf16FromUtf8(tab.url));
    } catch (const std::exception& e) {
      // The session readers speak UTF-8 (file paths); messages are CP932.
      loadResult_ = CallResult{kFail, cp932::FromUtf8(e.what())};
    }
    if (loadResult_->failed()) urls_.clear();
    return *loadResult_;
  }

  TabSource listTabs_;
  std::optional<CallResult> loadResult_;
  std::vector<std::u16string> urls_;
};

}  // namespace

std::unique_ptr<ShellWindowList> MakeOpenTabList(TabSource listTabs) {
  return std::make_unique<OpenTabList>(std::move(listTabs));
}

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(utf8[k]); };
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    // Length and the range of the second byte, which rules out overlong
    // forms, surrogates and values past U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    char32_t value = length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
    std::size_t taken = 1;
    while (length > 0 && taken < length && i + taken < utf8.size()) {
      const unsigned char next = byte(i + taken);
      if (taken == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) break;
      value = (value << 6) | (next & 0x3Fu);
      ++taken;
    }
    if (length == 0 || taken < length) {
      out.push_back(kReplacement);
    } else if (value >= 0x10000) {
      value -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(value));
    }
    i += taken;
  }
  return out;
}

}  // namespace quillo::shell
