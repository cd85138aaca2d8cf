#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "base/ShellApi.h"

namespace quillo {

// The address (CP932) of the first open browser window whose address begins
// with one of prefixes, compared without regard to case; empty when there is
// none. An empty prefix means "http:". The platform's window lists are
// searched in their order (base/ShellApi.h), each window in its list's own
// order, and a list is made only when none before it had a match. A list
// that fails (a failed call, a window without the browser interface before
// the match) is left for the next; only when no list has a match does the
// first failure's Error reach the caller.
std::string GetBrowserUrl(shell::ShellApi& api, std::initializer_list<std::string_view> prefixes);

}  // namespace quillo
