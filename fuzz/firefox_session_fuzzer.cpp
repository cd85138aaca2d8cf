// A Firefox session file, compressed or not: any bytes give the open tabs'
// addresses or quillo::Error, never a crash or a runaway allocation. Whatever
// liblz4's own safe decoder takes, quillo's decoder takes alike, but for a
// zero offset, which the format rules out.

#include <lz4.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "FuzzCheck.h"
#include "base/Error.h"
#include "platform/browser/FirefoxSession.h"
#include "platform/browser/MozLz4.h"

namespace {

// The content by liblz4, when it decodes the block to exactly the declared size.
std::optional<std::string> ByLiblz4(std::string_view file) {
  if (file.size() < 12) return std::nullopt;
  std::uint32_t declared = 0;
  for (int i = 11; i >= 8; --i) declared = (declared << 8) | static_cast<unsigned char>(file[i]);
  const std::string_view block = file.substr(12);
  if (declared > quillo::browser::kMaxMozLz4Content || declared / 255 > block.size() ||
      block.size() > INT_MAX) {
    return std::nullopt;
  }
  std::string content(declared, '\0');
  const int produced = LZ4_decompress_safe(
      block.data(), content.data(), static_cast<int>(block.size()), static_cast<int>(declared));
  if (produced < 0 || static_cast<std::uint32_t>(produced) != declared) return std::nullopt;
  return content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillo::browser;
  const std::string_view input = quillo::fuzz::Bytes(data, size);
  // Inputs with the magic go through the decoder; the others are taken as the
  // JSON itself, which mutates far better than compressed bytes do.
  const bool compressed = input.starts_with(std::string_view("mozLz40\0", 8));
  std::optional<std::string> content;
  if (compressed) {
    std::string refusal;
    try {
      content = DecodeMozLz4(input);
    } catch (const quillo::Error& e) {
      refusal = e.what();
    }
    // liblz4 is stricter about a block's last bytes, so only what it takes
    // must be taken here too, but for a zero offset, which it lets through.
    if (const std::optional<std::string> expected = ByLiblz4(input);
        expected && refusal != kZeroOffset) {
      quillo::fuzz::ExpectSame("LZ4 block content", content, expected);
    }
    if (!content) return 0;
  }
  try {
    const std::vector<std::string> urls = FirefoxSessionUrls(compressed ? *content : input);
    quillo::fuzz::ExpectHolds(
        "every address non-empty",
        std::none_of(urls.begin(), urls.end(), [](const std::string& url) { return url.empty(); }),
        urls);
  } catch (const quillo::Error&) {
    // A clear refusal is a sound answer to a broken file.
  }
  return 0;
}
