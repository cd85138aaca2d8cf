// The split of an address into scheme, host and path against its reference.

#include "FuzzCheck.h"
#include "core/Http.h"
#include "reference/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view url = quillo::fuzz::Bytes(data, size);
  std::optional<quillo::reference::SplitUrl> split;
  if (const auto parts = quillo::SplitAddress(url)) {
    split.emplace(parts->scheme == quillo::Scheme::kHttps,
                  std::pair{std::string(parts->host), std::string(parts->path)});
  }
  quillo::fuzz::ExpectSame("SplitAddress", split, quillo::reference::SplitAddress(url));
  return 0;
}
