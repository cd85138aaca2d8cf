#include "core/BrowserUrl.h"

#include <memory>

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
  std::string message = text::TrimMessageTail(result.description);
  if (message.empty()) message = text::TrimMessageTail(api.systemMessage(result.code));
  if (message.empty()) message = text::Format(texts::kOleErrorFormat, {std::int64_t{result.code}});
  return message;
}

void Check(shell::ShellApi& api, const shell::CallResult& result) {
  if (result.failed()) throw Error(CallMessage(api, result));
}

}  // namespace

std::string GetBrowserUrl(shell::ShellApi& api, std::string_view prefix) {
  const std::string_view wanted = prefix.empty() ? kDefaultPrefix : prefix;

  // Every list and item below is owned by a unique_ptr, so each exit,
  // raised or returned, releases them.
  std::unique_ptr<shell::ShellWindowList> list;
  Check(api, api.createWindowList(list));
  if (!list) throw Error(std::string(kInterfaceNotSupported));

  std::int32_t count = 0;
  Check(api, list->count(count));
  // The counted windows first; those that cost more to list only when none
  // of them matched.
  std::int32_t i = 0;
  for (const bool more : {false, true}) {
    if (more) Check(api, list->countMore(count));
    for (; i < count; ++i) {
      std::unique_ptr<shell::ShellItem> item;
      Check(api, list->item(i, item));
      if (!item) continue;  // closed while the list was read

      const std::unique_ptr<shell::WebBrowser> browser = item->browser();
      if (!browser) throw Error(std::string(kInterfaceNotSupported));

      std::u16string location;
      Check(api, browser->locationUrl(location));
      std::string address = api.toCodePage(location);
      if (text::StartsTextIgnoreCase(address, wanted)) return address;
    }
  }
  return {};
}

}  // namespace quillo
