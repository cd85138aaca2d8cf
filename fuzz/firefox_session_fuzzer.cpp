// A Firefox session file, compressed or not: any bytes give the open tabs'
// addresses or quillo::Error, never a crash or a runaway allocation.

#include <algorithm>

#include "FuzzCheck.h"
#include "base/Error.h"
#include "platform/browser/FirefoxSession.h"
#include "platform/browser/MozLz4.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillo::browser;
  const std::string_view input = quillo::fuzz::Bytes(data, size);
  // Inputs with the magic go through the decoder; the others are taken as the
  // JSON itself, which mutates far better than compressed bytes do.
  const bool compressed = input.starts_with(std::string_view("mozLz40\0", 8));
  try {
    const std::vector<std::string> urls =
        FirefoxSessionUrls(compressed ? DecodeMozLz4(input) : std::string(input));
    quillo::fuzz::ExpectHolds(
        "every address non-empty",
        std::none_of(urls.begin(), urls.end(), [](const std::string& url) { return url.empty(); }),
        urls);
  } catch (const quillo::Error&) {
    // A clear refusal is a sound answer to a broken file.
  }
  return 0;
}
