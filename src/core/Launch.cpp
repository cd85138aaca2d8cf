#include "core/Launch.h"

#include "base/LeadByte.h"

namespace quillo {

void LaunchTarget(Launcher& launcher, std::string_view target, std::string_view parameters) {
  try {
    launcher.open(target, parameters, LaunchDirectory(target));
  } catch (...) {
    // Opening a page is a convenience: whatever goes wrong, the window goes on.
  }
}

std::string LaunchDirectory(std::string_view target) {
  const std::string_view visible = target.substr(0, target.find('\0'));
  std::size_t end = 0;
  bool trail = false;
  for (std::size_t i = 0; i < visible.size(); ++i) {
    const char c = visible[i];
    if (!trail && (c == '\\' || c == ':')) end = i + 1;
    trail = !trail && text::IsLeadByte(static_cast<unsigned char>(c));
  }
  return std::string(visible.substr(0, end));
}

}  // namespace quillo
