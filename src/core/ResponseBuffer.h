#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillo {

// One HTTP response, status line, headers and body, byte for byte.
class ResponseBuffer {
 public:
  void append(const char* data, std::size_t size) { bytes_.append(data, size); }
  std::string_view text() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }

 private:
  std::string bytes_;
};

}  // namespace quillo
