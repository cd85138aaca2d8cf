#pragma once

// The running browsers' open tabs (platform/browser) as a window list: each
// tab is one window that offers the browser interface, its address being the
// tab's current one. Linux's only list; on Windows the one after the shell's.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ShellApi.h"
#include "platform/browser/BrowserSessions.h"

namespace quillo::shell {

using TabSource = std::function<std::vector<browser::OpenTab>()>;

// A window list over the tabs that listTabs returns, asked once, when the
// list is first counted or indexed. When listTabs throws, that call and
// every later one fails with E_FAIL and the exception's message as the
// description. An index past the end gives S_FALSE and no window, as the
// shell does.
std::unique_ptr<ShellWindowList> MakeOpenTabList(TabSource listTabs);

// UTF-8 to UTF-16; each ill-formed sequence (its maximal part) becomes
// U+FFFD.
std::u16string Utf16FromUtf8(std::string_view utf8);

}  // namespace quillo::shell
