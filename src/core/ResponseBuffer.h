#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"

namespace quillo {

// One HTTP response, status line, headers and body, byte for byte. It holds
// at most kMaxSize bytes: result pages are tens of kilobytes, and a page that
// never ends must end in an error, not in all of the machine's memory.
class ResponseBuffer {
 public:
  static constexpr std::size_t kMaxSize = std::size_t{256} << 20;

  void append(const char* data, std::size_t size) {
    if (size > kMaxSize - bytes_.size()) {
      throw Error("The page is larger than the limit of " + std::to_string(kMaxSize >> 20) +
                  " MiB");
    }
    // Doubling, but never past the bound (a string's reserve would round a
    // request up to twice its capacity): at most 1.5 times the bound while
    // the last growth copies.
    if (bytes_.size() + size > bytes_.capacity()) {
      bytes_.reserve(std::min(kMaxSize, std::max(bytes_.size() + size, 2 * bytes_.capacity())));
    }
    bytes_.insert(bytes_.end(), data, data + size);
  }
  std::string_view text() const { return {bytes_.data(), bytes_.size()}; }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }

 private:
  std::vector<char> bytes_;
};

}  // namespace quillo
