#pragma once

// The open tabs recorded in a Chromium profile's session files.

#include <filesystem>
#include <string>
#include <vector>

namespace quillo::browser {

// The open tabs' addresses from the newest readable session file of the
// profile at profileDir ("Sessions/Session_<time>", else the older
// "Current Session"). Throws quillo::Error naming the file when none can be
// read; for a profile whose session is only kept encrypted
// ("Sessions_Encrypted/Session_<time>"), that file.
std::vector<std::string> ReadChromiumSession(const std::filesystem::path& profileDir);

}  // namespace quillo::browser
