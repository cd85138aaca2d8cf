#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillo {

// The one error kind of the program: it carries a message text (CP932 bytes)
// and nothing else. Whoever shows it decides how.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
  std::string message() const { return what(); }
};

// A system or COM message without its trailing run of spaces, control
// characters (up to 0x20) and full stops, as messages are shown.
inline std::string TrimMessageTail(std::string_view message) {
  std::size_t end = message.size();
  while (end > 0 &&
         (static_cast<unsigned char>(message[end - 1]) <= 0x20 || message[end - 1] == '.')) {
    --end;
  }
  return std::string(message.substr(0, end));
}

}  // namespace quillo
