#include "platform/ShellWindows.h"

namespace quillo::shell {
namespace {

ShellApi* installed = nullptr;

}  // namespace

ShellApi& Shell() { return installed != nullptr ? *installed : SystemShell(); }

void SetShellApiForTesting(ShellApi* api) { installed = api; }

}  // namespace quillo::shell
