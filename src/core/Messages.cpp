#include "core/Messages.h"

#include <exception>
#include <new>

#include "base/Error.h"
#include "core/TextRules.h"

namespace quillo {

std::string WithFullStop(std::string_view message) {
  std::string shown(message);
  if (message.empty()) return shown;
  std::size_t last = message.size() - 1;
  if (text::IsTrailByte(message, last)) --last;  // the first byte of a double-byte character
  if (static_cast<unsigned char>(message[last]) > static_cast<unsigned char>('.')) {
    shown.push_back('.');
  }
  return shown;
}

std::string ApplicationTitle(std::string_view fileName) {
  const std::size_t dot = text::Find(fileName, ".");
  std::string title(fileName.substr(0, dot));
  bool trail = false;
  for (std::size_t i = 0; i < title.size(); ++i) {
    const char c = title[i];
    if (i > 0 && !trail && c >= 'A' && c <= 'Z') title[i] = static_cast<char>(c + 32);
    trail = !trail && text::IsLeadByte(static_cast<unsigned char>(c));
  }
  return title;
}

std::optional<std::string> ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.message();
  } catch (const std::bad_alloc&) {
    return std::string("Out of memory");
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  return std::nullopt;
}

}  // namespace quillo
