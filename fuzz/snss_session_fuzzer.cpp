// A Chromium session command file: any bytes give the open tabs' addresses or
// quillo::Error, never a crash, a hang or a runaway allocation.

#include <algorithm>

#include "FuzzCheck.h"
#include "base/Error.h"
#include "platform/browser/SnssSession.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = quillo::fuzz::Bytes(data, size);
  try {
    const std::vector<std::string> urls = quillo::browser::SnssSessionUrls(input);
    quillo::fuzz::ExpectHolds(
        "every address non-empty",
        std::none_of(urls.begin(), urls.end(), [](const std::string& url) { return url.empty(); }),
        urls);
    // Each listed tab needs a window record of its own (11 bytes) and a
    // navigation record with an address (at least 20) behind the 8-byte header.
    quillo::fuzz::ExpectHolds("no more tabs than records", 8 + urls.size() * 31 <= size, urls);
  } catch (const quillo::Error&) {
    // A clear refusal is a sound answer to a broken file.
  }
  return 0;
}
