#pragma once

// Building browser profiles and session files in a throw-away home folder.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::browser::testing {

// A fresh home folder, removed again with everything in it.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes content to path() / relative, creating the folders on the way.
  std::filesystem::path write(const std::filesystem::path& relative,
                              std::string_view content) const;
  // A symbolic link at path() / relative pointing at target.
  void link(const std::filesystem::path& relative, const std::string& target) const;

 private:
  std::filesystem::path path_;
};

// The same content in Mozilla's compressed JSON format.
std::string MozLz4(std::string_view content);

// A Firefox session store with one window per inner list, one single-entry tab
// per address.
std::string FirefoxSessionJson(const std::vector<std::vector<std::string>>& windows);

// Lock targets naming this test process, and a process that does not exist.
std::string LiveFirefoxLock();
std::string LiveChromiumLock();
long DeadPid();
std::string ThisHost();

// Writes Chromium session command files.
class SnssWriter {
 public:
  explicit SnssWriter(std::int32_t version = 3);

  SnssWriter& setTabWindow(std::int32_t window, std::int32_t tab);
  SnssWriter& setTabIndex(std::int32_t tab, std::int32_t index);
  SnssWriter& navigation(std::int32_t tab, std::int32_t index, std::string_view url);
  SnssWriter& selectNavigation(std::int32_t tab, std::int32_t index);
  SnssWriter& tabClosed(std::int32_t tab);
  SnssWriter& windowClosed(std::int32_t window);
  SnssWriter& pruned(std::int32_t tab, std::int32_t index, std::int32_t count);
  SnssWriter& record(std::uint8_t id, std::string_view payload);
  SnssWriter& raw(std::string_view bytes);
  SnssWriter& dropLast(std::size_t count);
  // A tab in a window with one navigation, selected.
  SnssWriter& tab(std::int32_t window, std::int32_t tab, std::int32_t index, std::string_view url);

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace quillo::browser::testing
