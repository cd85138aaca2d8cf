// Linux has no shared list of browser windows: the running browsers' open
// tabs are the only list.

#include "platform/Codepage.h"
#include "platform/OpenTabList.h"
#include "platform/ShellWindows.h"

namespace quillo::shell {
namespace {

class LinuxShell final : public ShellApi {
 public:
  std::size_t listCount() override { return 1; }

  CallResult createWindowList(std::size_t, std::unique_ptr<ShellWindowList>& list) override {
    list = MakeOpenTabList([] { return browser::ListOpenTabs(); });
    return {};
  }

  // The codes here are not the system's own, so it has no text for them.
  std::string systemMessage(std::int32_t) override { return {}; }

  std::string toCodePage(std::u16string_view address) override { return cp932::FromUtf16(address); }
};

}  // namespace

ShellApi& SystemShell() {
  static LinuxShell api;
  return api;
}

}  // namespace quillo::shell
