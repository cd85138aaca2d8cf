#include "platform/browser/ChromiumSession.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"
#include "platform/browser/SnssSession.h"

namespace quillo::browser {
namespace {

constexpr std::size_t kMaxSessionFile = std::size_t{256} << 20;

// "Session_13312345678901234" → its digits, the time the file was begun.
std::optional<std::string> SessionTime(const std::string& fileName) {
  constexpr std::string_view kPrefix = "Session_";
  if (!fileName.starts_with(kPrefix)) return std::nullopt;
  std::string digits = fileName.substr(kPrefix.size());
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  return digits;
}

// The folder's session files, newest first; numbers of any length compare by
// length, then digit by digit.
void AddNewestFirst(const std::filesystem::path& folder,
                    std::vector<std::filesystem::path>& files) {
  std::vector<std::pair<std::string, std::filesystem::path>> timed;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (auto time = SessionTime(PathText(it->path().filename()))) {
      timed.emplace_back(std::move(*time), it->path());
    }
  }
  std::sort(timed.begin(), timed.end(), [](const auto& a, const auto& b) {
    if (a.first.size() != b.first.size()) return a.first.size() > b.first.size();
    return a.first > b.first;
  });
  for (auto& entry : timed) files.push_back(std::move(entry.second));
}

std::vector<std::filesystem::path> SessionFiles(const std::filesystem::path& profileDir) {
  std::vector<std::filesystem::path> files;
  AddNewestFirst(profileDir / "Sessions", files);
  // Chromium writes an encrypted copy beside the plain files, and at a later
  // rollout stage only that. It cannot be read here, but when it is all there
  // is, the error names it instead of a missing older file.
  AddNewestFirst(profileDir / "Sessions_Encrypted", files);
  files.push_back(profileDir / "Current Session");
  return files;
}

}  // namespace

std::vector<std::string> ReadChromiumSession(const std::filesystem::path& profileDir) {
  std::optional<Error> firstFailure;
  for (const std::filesystem::path& path : SessionFiles(profileDir)) {
    try {
      const std::string file = ReadBoundedFile(path, kMaxSessionFile);
      try {
        return SnssSessionUrls(file);
      } catch (const Error& e) {
        throw Error(PathText(path) + ": " + e.what());
      }
    } catch (const Error& e) {
      if (!firstFailure) firstFailure = e;
    } catch (const std::bad_alloc&) {
      if (!firstFailure) firstFailure = Error(PathText(path) + ": not enough memory to read it");
    }
  }
  throw *firstFailure;
}

}  // namespace quillo::browser
