#pragma once

#include <string>
#include <string_view>

#include "base/ShellApi.h"

namespace quillo {

// The address (CP932) of the first open browser window whose address begins
// with prefix, compared without regard to case; empty when there is none.
// An empty prefix means "http:". Windows are taken in the window list's own
// order (base/ShellApi.h), those that follow the counted ones asked for
// only when none of those matched. Raises Error when the list cannot be
// asked, and "Interface not supported" when a window before the match has no
// browser interface.
std::string GetBrowserUrl(shell::ShellApi& api, std::string_view prefix);

}  // namespace quillo
