#pragma once

// The port through which the core opens an address in the user's browser.
// The platform implements it over the Windows shell or xdg-open
// (platform/Info.h); tests hand in a recorder.

#include <string_view>

namespace quillo {

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Asks the desktop to open target (CP932) with its default action, with
  // parameters and with directory as the working folder where the system
  // takes them. May raise; the caller decides what a failure means.
  virtual void open(std::string_view target, std::string_view parameters,
                    std::string_view directory) = 0;
};

}  // namespace quillo
