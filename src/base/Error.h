#pragma once

#include <stdexcept>
#include <string>

namespace quillo {

// The one error kind of the program: it carries a message text (CP932 bytes)
// and nothing else. Whoever shows it decides how.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
  std::string message() const { return what(); }
};

}  // namespace quillo
