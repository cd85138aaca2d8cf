#include "core/BrowserUrl.h"

#include <memory>
#include <optional>
#include <vector>

#include "base/Error.h"
#include "core/TextRules.h"
#include "core/Texts.h"

namespace quillo {
namespace {

constexpr std::string_view kDefaultPrefix = "http:";
constexpr std::string_view kInterfaceNotSupported = "Interface not supported";

// The message of a failed call, by preference: the failing object's
// description, else the system's text for the code, each trimmed of its
// trailing spaces, control characters and full stops; else the code itself.
std::string CallMessage(shell::ShellApi& api, const shell::CallResult& result) {
  std::string message = TrimMessageTail(result.description);
  if (message.empty()) message = TrimMessageTail(api.systemMessage(result.code));
  if (message.empty()) message = text::Format(texts::kOleErrorFormat, {std::int64_t{result.code}});
  return message;
}

void Check(shell::ShellApi& api, const shell::CallResult& result) {
  if (result.failed()) throw Error(CallMessage(api, result));
}

// The first address in list index with one of prefixes.
std::optional<std::string> SearchList(shell::ShellApi& api, std::size_t index,
                                      const std::vector<std::string_view>& prefixes) {
  // The list and its items are owned by unique_ptrs, so each exit, raised or
  // returned, releases them.
  std::unique_ptr<shell::ShellWindowList> list;
  Check(api, api.createWindowList(index, list));
  if (!list) throw Error(std::string(kInterfaceNotSupported));

  std::int32_t count = 0;
  Check(api, list->count(count));
  for (std::int32_t i = 0; i < count; ++i) {
    std::unique_ptr<shell::ShellItem> item;
    Check(api, list->item(i, item));
    if (!item) continue;  // closed while the list was read

    const std::unique_ptr<shell::WebBrowser> browser = item->browser();
    if (!browser) throw Error(std::string(kInterfaceNotSupported));

    std::u16string location;
    Check(api, browser->locationUrl(location));
    std::string address = api.toCodePage(location);
    for (const std::string_view prefix : prefixes) {
      if (text::StartsTextIgnoreCase(address, prefix)) return address;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string GetBrowserUrl(shell::ShellApi& api, std::initializer_list<std::string_view> prefixes) {
  std::vector<std::string_view> wanted;
  for (const std::string_view prefix : prefixes) {
    wanted.push_back(prefix.empty() ? kDefaultPrefix : prefix);
  }
  // A broken list must not hide a site window that a later one shows.
  std::optional<Error> firstFailure;
  for (std::size_t index = 0; index < api.listCount(); ++index) {
    try {
      if (std::optional<std::string> address = SearchList(api, index, wanted)) return *address;
    } catch (const Error& e) {
      if (!firstFailure) firstFailure = e;
    }
  }
  if (firstFailure) throw *firstFailure;
  return {};
}

}  // namespace quillo
