#include "platform/browser/SnssSession.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "base/Error.h"

// File layout, all numbers little-endian:
//   "SNSS", int32 version (1, or 3 with marker records; 2, 4 and 5 are
//   encrypted, 5 being what Sessions_Encrypted holds, with uint32 sizes)
//   records: uint16 size (the id byte and the payload), uint8 id, payload
// Payloads read here:
//   0  SetTabWindow              int32 window id, int32 tab id
//   2  SetTabIndexInWindow       int32 tab id, int32 index
//   6  UpdateTabNavigation       a pickle: uint32 body size, then int32 tab id,
//                                int32 navigation index, string url, string16
//                                title, ... (strings: int32 length in units,
//                                then the units, padded to 4 bytes)
//   7  SetSelectedNavigationIdx  int32 tab id, int32 navigation index
//   16 TabClosed                 int32 tab id, 4 bytes padding, int64 time
//   17 WindowClosed              int32 window id, 4 bytes padding, int64 time
//   24 TabNavigationPathPruned   int32 tab id, int32 index, int32 count: the
//                                navigations index .. index+count-1 are gone
//                                and the later ones move down by count
// The fixed-size ones are plain structs without a pickle header. Only the
// leading fields are read, so a payload may be longer than shown.

namespace quillo::browser {
namespace {

enum CommandId : std::uint8_t {
  kSetTabWindow = 0,
  kSetTabIndexInWindow = 2,
  kUpdateTabNavigation = 6,
  kSetSelectedNavigationIndex = 7,
  kTabClosed = 16,
  kWindowClosed = 17,
  kTabNavigationPathPruned = 24,
};

// Reads little-endian fields from a byte range, never past its end.
class FieldReader {
 public:
  explicit FieldReader(std::string_view bytes) : bytes_(bytes) {}

  std::optional<std::int32_t> int32() {
    const std::optional<std::uint32_t> value = uint32();
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
  }

  std::optional<std::uint32_t> uint32() {
    if (bytes_.size() < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes_[i]);
    bytes_.remove_prefix(4);
    return value;
  }

  // A pickled string: int32 length, the bytes, padding to a multiple of 4
  // (which the last field of a pickle may lack).
  std::optional<std::string_view> pickledString() {
    const std::optional<std::int32_t> length = int32();
    if (!length || *length < 0 || static_cast<std::size_t>(*length) > bytes_.size()) {
      return std::nullopt;
    }
    const std::size_t size = static_cast<std::size_t>(*length);
    const std::string_view text = bytes_.substr(0, size);
    bytes_.remove_prefix(std::min(bytes_.size(), (size + 3) & ~std::size_t{3}));
    return text;
  }

  std::string_view rest() const { return bytes_; }

 private:
  std::string_view bytes_;
};

struct Tab {
  std::optional<std::int32_t> window;
  std::int32_t indexInWindow = 0;
  std::int64_t selected = -1;
  std::map<std::int64_t, std::string> navigations;  // by navigation index
};

class SessionReplay {
 public:
  void apply(std::uint8_t id, std::string_view payload) {
    FieldReader fields(payload);
    switch (id) {
      case kSetTabWindow: {
        const auto window = fields.int32();
        const auto tab = fields.int32();
        if (!tab) return;
        tabs_[*tab].window = *window;
        openWindows_.insert(*window);  // a window exists once a tab is put in it
        return;
      }
      case kSetTabIndexInWindow: {
        const auto tab = fields.int32();
        const auto index = fields.int32();
        if (index) tabs_[*tab].indexInWindow = *index;
        return;
      }
      case kUpdateTabNavigation:
        updateNavigation(fields);
        return;
      case kSetSelectedNavigationIndex: {
        const auto tab = fields.int32();
        const auto index = fields.int32();
        if (index) tabs_[*tab].selected = *index;
        return;
      }
      case kTabClosed:
        if (const auto tab = fields.int32()) tabs_.erase(*tab);
        return;
      case kWindowClosed:
        if (const auto window = fields.int32()) openWindows_.erase(*window);
        return;
      case kTabNavigationPathPruned: {
        const auto tab = fields.int32();
        const auto index = fields.int32();
        const auto count = fields.int32();
        if (count && *index >= 0 && *count > 0) prune(tabs_[*tab], *index, *count);
        return;
      }
      default:
        return;  // window bounds, pinned state, markers and the like
    }
  }

  // Every record read earns the replay a little work, so that pruning cannot
  // turn a hostile file quadratic.
  void earnWork() { workLeft_ += kWorkPerRecord; }

  std::vector<std::string> openTabUrls() const {
    std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, const Tab*>> order;
    for (const auto& [id, tab] : tabs_) {
      if (tab.window && openWindows_.contains(*tab.window)) {
        order.emplace_back(*tab.window, tab.indexInWindow, id, &tab);
      }
    }
    std::sort(order.begin(), order.end());
    std::vector<std::string> urls;
    for (const auto& entry : order) {
      const Tab& tab = *std::get<3>(entry);
      if (tab.navigations.empty()) continue;
      // Pruning may have removed the selected index itself: the next one
      // left, else the last one, is what the tab shows.
      auto current = tab.navigations.lower_bound(tab.selected);
      if (current == tab.navigations.end()) current = std::prev(current);
      if (!current->second.empty()) urls.push_back(current->second);
    }
    return urls;
  }

 private:
  static constexpr std::int64_t kWorkPerRecord = 64;

  void updateNavigation(FieldReader& fields) {
    const std::optional<std::uint32_t> bodySize = fields.uint32();
    if (!bodySize || *bodySize > fields.rest().size()) return;
    FieldReader body(fields.rest().substr(0, *bodySize));
    const auto tab = body.int32();
    const auto index = body.int32();
    const auto url = body.pickledString();
    if (!url) return;
    tabs_[*tab].navigations.insert_or_assign(*index, std::string(*url));
  }

  void prune(Tab& tab, std::int64_t index, std::int64_t count) {
    const std::int64_t end = index + count;
    auto& navigations = tab.navigations;
    navigations.erase(navigations.lower_bound(index), navigations.lower_bound(end));
    auto later = navigations.lower_bound(end);
    while (later != navigations.end()) {
      if (--workLeft_ < 0) throw Error("too many navigation changes");
      auto node = navigations.extract(later++);
      node.key() -= count;
      navigations.insert(std::move(node));
    }
    if (tab.selected >= end) {
      tab.selected -= count;
    } else if (tab.selected >= index) {
      tab.selected = index - 1;  // the entry before the removed ones
    }
  }

  std::map<std::int32_t, Tab> tabs_;
  std::set<std::int32_t> openWindows_;
  std::int64_t workLeft_ = 0;
};

std::uint32_t LittleEndian(std::string_view bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

}  // namespace

std::vector<std::string> SnssSessionUrls(std::string_view file) {
  if (file.size() < 8) throw Error("too short for a session file");
  if (file.substr(0, 4) != "SNSS") throw Error("not a session file (bad magic)");
  const std::uint32_t version = LittleEndian(file.substr(4, 4));
  if (version == 2 || version == 4 || version == 5) throw Error("encrypted session file");
  if (version != 1 && version != 3) {
    throw Error("unknown session file version " + std::to_string(version));
  }

  SessionReplay replay;
  std::string_view records = file.substr(8);
  // A record cut short is the one being written when the file was read.
  while (records.size() >= 2) {
    const std::size_t size = LittleEndian(records.substr(0, 2));
    if (size == 0 || size > records.size() - 2) break;
    replay.earnWork();
    replay.apply(static_cast<std::uint8_t>(records[2]), records.substr(3, size - 1));
    records.remove_prefix(2 + size);
  }
  return replay.openTabUrls();
}

}  // namespace quillo::browser
