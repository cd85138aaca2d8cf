#include "platform/browser/FirefoxSession.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <nlohmann/json.hpp>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"
#include "platform/browser/MozLz4.h"

namespace quillo::browser {
namespace {

using nlohmann::json;

// A compressed file a little larger than its content is still plausible.
constexpr std::size_t kMaxCompressedSession = kMaxMozLz4Content + (kMaxMozLz4Content >> 6);

// Real sessions nest a few dozen levels. The parser keeps a pointer for every
// open level, skipped ones too, so a file of nothing but brackets would cost
// eight times its content; far deeper than any session is refused instead.
constexpr int kMaxNesting = 1 << 20;

// Keeps only the members on the path windows[].tabs[].{entries[].url, index}.
// Everything else (closed windows and tabs, the previous session, form data,
// scroll positions, images) is skipped while parsing and never built in
// memory. A member's depth is the number of containers around it:
// 1 = session, 3 = window, 5 = tab, 7 = history entry.
bool KeepSessionMember(int depth, json::parse_event_t event, json& parsed) {
  if (depth > kMaxNesting) throw Error("JSON nested too deeply");
  if (event != json::parse_event_t::key) return true;
  const std::string& name = parsed.get_ref<const std::string&>();
  switch (depth) {
    case 1:
      return name == "windows";
    case 3:
      return name == "tabs";
    case 5:
      return name == "entries" || name == "index";
    case 7:
      return name == "url";
    default:
      return false;
  }
}

// The tab's current history entry: "index" counts from 1; when it is missing
// the newest entry is current, as Firefox itself assumes.
const json* CurrentEntry(const json& tab) {
  const auto entries = tab.find("entries");
  if (entries == tab.end() || !entries->is_array() || entries->empty()) return nullptr;
  const double count = static_cast<double>(entries->size());
  double index = count;
  const auto given = tab.find("index");
  if (given != tab.end() && given->is_number()) {
    const double value = given->get<double>();
    if (!std::isnan(value)) index = std::clamp(std::floor(value), 1.0, count);
  }
  return &(*entries)[static_cast<std::size_t>(index) - 1];
}

}  // namespace

std::vector<std::string> FirefoxSessionUrls(std::string_view json) {
  const nlohmann::json session = nlohmann::json::parse(json, KeepSessionMember, false);
  if (session.is_discarded()) throw Error("invalid JSON");
  if (!session.is_object()) throw Error("JSON is not a session object");

  std::vector<std::string> urls;
  const auto windows = session.find("windows");
  if (windows == session.end()) return urls;
  if (!windows->is_array()) throw Error("\"windows\" is not a list");
  for (const nlohmann::json& window : *windows) {
    if (!window.is_object()) continue;
    const auto tabs = window.find("tabs");
    if (tabs == window.end() || !tabs->is_array()) continue;
    for (const nlohmann::json& tab : *tabs) {
      if (!tab.is_object()) continue;
      const nlohmann::json* entry = CurrentEntry(tab);
      if (entry == nullptr || !entry->is_object()) continue;
      const auto url = entry->find("url");
      if (url == entry->end() || !url->is_string()) continue;
      const std::string& text = url->get_ref<const std::string&>();
      if (!text.empty()) urls.push_back(text);
    }
  }
  return urls;
}

std::vector<std::string> ReadFirefoxSession(const std::filesystem::path& profileDir) {
  const std::filesystem::path backups = profileDir / "sessionstore-backups";
  const std::filesystem::path live = backups / "recovery.jsonlz4";
  const std::filesystem::path backup = backups / "recovery.baklz4";

  auto read = [](const std::filesystem::path& path) {
    const std::string compressed = ReadBoundedFile(path, kMaxCompressedSession);
    try {
      return FirefoxSessionUrls(DecodeMozLz4(compressed));
    } catch (const Error& e) {
      throw Error(PathText(path) + ": " + e.what());
    } catch (const std::bad_alloc&) {
      throw Error(PathText(path) + ": not enough memory to read the session");
    }
  };

  // Firefox writes the live file by renaming a finished temporary file over
  // it, so a broken one is rare; the backup is the previous good state.
  try {
    return read(live);
  } catch (const Error& liveFailure) {
    try {
      return read(backup);
    } catch (const Error&) {
      throw liveFailure;
    }
  }
}

}  // namespace quillo::browser
