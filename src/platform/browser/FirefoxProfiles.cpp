#include "platform/browser/FirefoxProfiles.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"

namespace quillo::browser {
namespace {

constexpr std::size_t kMaxProfilesIni = std::size_t{1} << 20;

using IniSection = std::map<std::string, std::string, std::less<>>;

std::string_view Trim(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Sections in file order; a later duplicate key wins, as in Firefox.
std::vector<std::pair<std::string, IniSection>> ParseIni(std::string_view text) {
  std::vector<std::pair<std::string, IniSection>> sections;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close != std::string_view::npos)
        sections.emplace_back(line.substr(1, close - 1), IniSection{});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || sections.empty()) continue;
    sections.back().second.insert_or_assign(std::string(Trim(line.substr(0, equals))),
                                            std::string(Trim(line.substr(equals + 1))));
  }
  return sections;
}

std::optional<long> ProfileNumber(std::string_view sectionName) {
  constexpr std::string_view kPrefix = "Profile";
  if (!sectionName.starts_with(kPrefix)) return std::nullopt;
  const std::string_view digits = sectionName.substr(kPrefix.size());
  long number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return number;
}

// Nothing for a path that this system cannot name (on Windows, text that is
// not UTF-8): it is passed over as an unreadable profile is.
std::optional<std::filesystem::path> Resolve(const std::filesystem::path& root,
                                             const std::string& path) {
  try {
    const std::filesystem::path given = PathFromUtf8(path);
    return given.is_absolute() ? given : root / given;
  } catch (const std::filesystem::filesystem_error&) {
    return std::nullopt;
  }
}

}  // namespace

// Install sections name their default by the same path text that the
// profile's own section holds.
std::vector<std::filesystem::path> ListedFirefoxProfiles(std::string_view profilesIni,
                                                         const std::filesystem::path& root) {
  std::vector<std::filesystem::path> listed;
  std::vector<std::pair<long, std::filesystem::path>> numbered;
  for (const auto& [name, keys] : ParseIni(profilesIni)) {
    if (name.starts_with("Install")) {
      const auto found = keys.find("Default");
      if (found == keys.end() || found->second.empty()) continue;
      if (auto resolved = Resolve(root, found->second)) listed.push_back(std::move(*resolved));
    } else if (const std::optional<long> number = ProfileNumber(name)) {
      const auto path = keys.find("Path");
      if (path == keys.end() || path->second.empty()) continue;
      // IsRelative=1 paths hang below root and the others are absolute, so
      // resolving by the path's own form covers both.
      if (auto resolved = Resolve(root, path->second)) {
        numbered.emplace_back(*number, std::move(*resolved));
      }
    }
  }
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& entry : numbered) listed.push_back(std::move(entry.second));
  return listed;
}

std::vector<std::filesystem::path> FindFirefoxProfiles(
    const std::vector<std::filesystem::path>& roots) {
  std::vector<std::filesystem::path> profiles;
  std::set<std::filesystem::path> seen;
  for (const std::filesystem::path& root : roots) {
    std::string ini;
    try {
      ini = ReadBoundedFile(root / "profiles.ini", kMaxProfilesIni);
    } catch (const Error&) {
      continue;  // no such root, or nothing usable in it
    }
    for (const std::filesystem::path& listed : ListedFirefoxProfiles(ini, root)) {
      std::error_code error;
      std::filesystem::path canonical = std::filesystem::canonical(listed, error);
      if (error || !std::filesystem::is_directory(canonical, error)) continue;
      if (seen.insert(canonical).second) profiles.push_back(std::move(canonical));
    }
  }
  return profiles;
}

}  // namespace quillo::browser
