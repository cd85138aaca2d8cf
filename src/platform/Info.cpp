#include "platform/Info.h"

namespace quillo {

// Placeholder until the shell integration lands.
void InfoStartup() {}
void InfoCleanup() {}
void SetLaunchOwner(std::uintptr_t) {}
void LaunchTarget(std::string_view, std::string_view) {}

}  // namespace quillo
