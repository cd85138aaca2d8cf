#include "core/BrowserUrl.h"

namespace quillo {

// Placeholder until the shell integration lands.
std::string GetBrowserUrl(std::string_view) { return {}; }

}  // namespace quillo
