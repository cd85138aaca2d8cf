#include "platform/browser/ChromiumProfiles.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <system_error>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"

namespace quillo::browser {
namespace {

constexpr std::size_t kMaxLocalState = std::size_t{16} << 20;

using nlohmann::json;

// Keeps profile.info_cache with its keys but not what each key holds, and
// profile.last_active_profiles.
bool KeepProfileKeys(int depth, json::parse_event_t event, json& parsed) {
  if (event != json::parse_event_t::key) return true;
  const std::string& name = parsed.get_ref<const std::string&>();
  switch (depth) {
    case 1:
      return name == "profile";
    case 2:
      return name == "info_cache" || name == "last_active_profiles";
    case 3:
      return true;
    default:
      return false;
  }
}

// A profile name becomes a folder name below the user data folder, so it must
// stay one plain path component, on Windows too.
bool IsPlainFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\:\0", 4)) == std::string::npos;
}

}  // namespace

std::vector<std::filesystem::path> ChromiumProfileFolders(
    const std::filesystem::path& userDataDir) {
  std::vector<std::filesystem::path> folders;
  std::error_code error;
  if (std::filesystem::is_directory(userDataDir / "Sessions", error))
    folders.push_back(userDataDir);
  for (const std::string& name : ChromiumProfileNames(userDataDir))
    folders.push_back(userDataDir / PathFromUtf8(name));
  return folders;
}

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
  std::vector<std::string> cached;
  const json* active = nullptr;
  const json state = json::parse(localState, KeepProfileKeys, false);
  if (state.is_object()) {
    const auto profile = state.find("profile");
    if (profile != state.end() && profile->is_object()) {
      const auto cache = profile->find("info_cache");
      if (cache != profile->end() && cache->is_object()) {
        for (const auto& item : cache->items()) {
          if (IsPlainFolderName(item.key())) cached.push_back(item.key());
        }
      }
      const auto last = profile->find("last_active_profiles");
      if (last != profile->end() && last->is_array()) active = &*last;
    }
  }
  std::sort(cached.begin(), cached.end());
  if (active == nullptr) {
    // Nothing usable listed: the default profile is the best guess.
    if (cached.empty()) cached.emplace_back("Default");
    return cached;
  }
  // A profile whose windows are all closed keeps their tabs in its session
  // file; only the list of profiles with open windows tells it apart.
  std::vector<std::string> names;
  for (const json& entry : *active) {
    if (!entry.is_string()) continue;
    const std::string& name = entry.get_ref<const std::string&>();
    if (!IsPlainFolderName(name) || std::find(names.begin(), names.end(), name) != names.end())
      continue;
    if (cached.empty() || std::binary_search(cached.begin(), cached.end(), name))
      names.push_back(name);
  }
  return names;
}

}  // namespace quillo::browser
