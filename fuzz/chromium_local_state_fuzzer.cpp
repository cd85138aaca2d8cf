// A Chromium "Local State" file: any bytes give profile names that are plain
// folder names, each once, never a crash or an exception.

#include <algorithm>

#include "FuzzCheck.h"
#include "platform/browser/ChromiumProfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> names =
      quillo::browser::ProfileNamesInLocalState(quillo::fuzz::Bytes(data, size));
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  quillo::fuzz::ExpectHolds(
      "each once", std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end(), names);
  for (const std::string& name : names) {
    const bool plain = !name.empty() && name != "." && name != ".." &&
                       name.find_first_of(std::string_view("/\\:\0", 4)) == std::string::npos;
    quillo::fuzz::ExpectHolds("plain folder names", plain, names);
  }
  return 0;
}
