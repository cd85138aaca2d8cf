#pragma once

#include <string>
#include <string_view>

namespace quillo {

// The address (CP932) of the first open browser window whose address begins
// with prefix, compared without regard to case; empty when there is none.
// An empty prefix means "http:". Raises Error when the windows cannot be
// asked.
std::string GetBrowserUrl(std::string_view prefix);

}  // namespace quillo
