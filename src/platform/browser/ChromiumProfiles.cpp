#include "platform/browser/ChromiumProfiles.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"
#include "platform/browser/LockOwner.h"

namespace quillo::browser {
namespace {

constexpr std::size_t kMaxLocalState = std::size_t{16} << 20;

using nlohmann::json;

// Keeps profile.info_cache with its keys but not what each key holds.
bool KeepProfileKeys(int depth, json::parse_event_t event, json& parsed) {
  if (event != json::parse_event_t::key) return true;
  const std::string& name = parsed.get_ref<const std::string&>();
  switch (depth) {
    case 1:
      return name == "profile";
    case 2:
      return name == "info_cache";
    case 3:
      return true;
    default:
      return false;
  }
}

// A profile name becomes a folder name below the user data folder, so it must
// stay one plain path component.
bool IsPlainFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

}  // namespace

std::vector<std::string> ChromiumProfileNames(const std::filesystem::path& userDataDir) {
  std::string text;
  try {
    text = ReadBoundedFile(userDataDir / "Local State", kMaxLocalState);
  } catch (const Error&) {
    // Unreadable: as good as listing nothing.
  }
  return ProfileNamesInLocalState(text);
}

std::vector<std::string> ProfileNamesInLocalState(std::string_view localState) {
  std::vector<std::string> names;
  const json state = json::parse(localState, KeepProfileKeys, false);
  if (state.is_object()) {
    const auto profile = state.find("profile");
    if (profile != state.end() && profile->is_object()) {
      const auto cache = profile->find("info_cache");
      if (cache != profile->end() && cache->is_object()) {
        for (const auto& item : cache->items()) {
          if (IsPlainFolderName(item.key())) names.push_back(item.key());
        }
      }
    }
  }
  // Nothing usable listed: the default profile is the best guess.
  if (names.empty()) names.emplace_back("Default");
  std::sort(names.begin(), names.end());
  return names;
}

bool IsChromiumRunning(const std::filesystem::path& userDataDir) {
  const std::optional<std::string> target = ReadLinkTarget(userDataDir / "SingletonLock");
  if (!target) return false;
  const std::optional<LockOwner> owner = ParseChromiumLockTarget(*target);
  return owner && IsLiveOnThisHost(*owner);
}

}  // namespace quillo::browser
