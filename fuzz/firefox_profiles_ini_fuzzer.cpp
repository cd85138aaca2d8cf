// A Firefox profiles.ini: any bytes give profile paths, each absolute once
// resolved against the root, never a crash or an exception.

#include <algorithm>

#include "FuzzCheck.h"
#include "platform/browser/FirefoxProfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::filesystem::path> paths = quillo::browser::ListedFirefoxProfiles(
      quillo::fuzz::Bytes(data, size), "/home/u/.mozilla/firefox");
  std::vector<std::string> shown;
  for (const std::filesystem::path& path : paths) shown.push_back(path.string());
  quillo::fuzz::ExpectHolds(
      "absolute paths",
      std::all_of(paths.begin(), paths.end(), [](const auto& path) { return path.is_absolute(); }),
      shown);
  return 0;
}
