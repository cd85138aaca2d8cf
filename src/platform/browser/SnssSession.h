#pragma once

// Chromium's session command files ("SNSS"): a log of commands that, replayed
// in order, rebuild the windows and tabs of the running session.

#include <string>
#include <string_view>
#include <vector>

namespace quillo::browser {

// The current address of each open tab: windows by id, tabs by their index in
// the window; tabs and windows closed in the log are left out, and so are tabs
// without an address. A truncated last record is normal and ignored. Throws
// quillo::Error saying what was wrong when the header is bad or the file is
// encrypted.
std::vector<std::string> SnssSessionUrls(std::string_view file);

}  // namespace quillo::browser
