#include "core/TextRules.h"

#include <cstring>

namespace quillo::text {
namespace {

constexpr unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Tracks the double-byte rule while a search moves forward through a text.
// The state at `cursor_` is the parity of the run of lead bytes that ends
// just before it; asking about a later position walks back only as far as
// the cursor, so a whole walk touches every byte at most once.
class TrailTracker {
 public:
  TrailTracker(std::string_view text, std::size_t start) : text_(text), cursor_(start) {}

  bool isTrail(std::size_t pos) {
    std::size_t run = 0;
    std::size_t i = pos;
    while (i > cursor_ && IsLeadByte(Byte(text_[i - 1]))) {
      --i;
      ++run;
    }
    bool odd = (run % 2) == 1;
    if (i == cursor_) odd = odd != cursorOdd_;  // the run reaches the known state
    cursor_ = pos;
    cursorOdd_ = odd;
    return odd;
  }

 private:
  std::string_view text_;
  std::size_t cursor_;
  bool cursorOdd_ = false;
};

std::size_t FindFrom(std::string_view visible, std::string_view pattern, std::size_t from) {
  if (pattern.empty() || from > visible.size() || visible.size() - from < pattern.size()) {
    return npos;
  }
  TrailTracker trail(visible, from);
  std::size_t pos = from;
  while (visible.size() - pos >= pattern.size()) {
    // memchr for the first byte, then a compare: every fragment the program
    // searches for is short and fixed, so this stays linear in the text.
    const std::size_t at = visible.find(pattern, pos);
    if (at == npos) return npos;
    if (!trail.isTrail(at)) return at;
    pos = at + 1;
  }
  return npos;
}

// Deletes every occurrence of pattern found in `search` (a text of the same
// length as `source`, possibly case-folded), copying the bytes of `source`.
std::string DeleteAllIn(std::string_view source, std::string_view search,
                        std::string_view pattern) {
  const std::string_view visible = VisiblePart(search);
  std::string out;
  out.reserve(source.size());
  std::size_t pos = 0;
  for (;;) {
    const std::size_t at = FindFrom(visible, pattern, pos);
    if (at == npos) break;
    out.append(source.substr(pos, at - pos));
    pos = at + pattern.size();
  }
  out.append(source.substr(pos));  // includes everything behind a zero byte
  return out;
}

bool EqualIgnoreCase(std::string_view text, std::size_t at, std::string_view pattern) {
  // Second bytes of characters are compared exactly; only single-byte
  // characters are folded. The window starts on a character boundary.
  bool trail = false;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    const char a = text[at + k];
    const char b = pattern[k];
    if (trail ? a != b : UpperAscii(a) != UpperAscii(b)) return false;
    trail = !trail && IsLeadByte(Byte(a));
  }
  return true;
}

}  // namespace

bool IsTrailByte(std::string_view text, std::size_t index) {
  std::size_t run = 0;
  while (index > run && IsLeadByte(Byte(text[index - run - 1]))) ++run;
  return run % 2 == 1;
}

std::string_view VisiblePart(std::string_view text) {
  const void* zero = std::memchr(text.data(), 0, text.size());
  if (zero == nullptr) return text;
  return text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
}

std::size_t SearchText::find(std::string_view pattern, std::size_t from) const {
  return FindFrom(visible_, pattern, from);
}

std::size_t Find(std::string_view text, std::string_view pattern) {
  return SearchText(text).find(pattern);
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern) {
  const std::string upper = UpperCaseAscii(VisiblePart(text));
  return FindFrom(upper, UpperCaseAscii(pattern), 0);
}

std::string DeleteAll(std::string_view text, std::string_view fragment) {
  return DeleteAllIn(text, text, fragment);
}

std::string DeleteAllIgnoreCase(std::string_view text, std::string_view fragment) {
  // Folding leaves lead bytes and zero bytes where they were, so positions
  // found in the folded copy are positions in the text.
  const std::string upper = UpperCaseAscii(text);
  return DeleteAllIn(text, upper, UpperCaseAscii(fragment));
}

bool StartsTextIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualIgnoreCase(text, 0, prefix);
}

bool EndsTextIgnoreCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::size_t at = text.size() - suffix.size();
  return !IsTrailByte(text, at) && EqualIgnoreCase(text, at, suffix);
}

std::string UpperCaseAscii(std::string_view text) {
  std::string out(text);
  bool trail = false;
  for (char& c : out) {
    if (!trail) c = UpperAscii(c);
    trail = !trail && IsLeadByte(Byte(c));
  }
  return out;
}

std::optional<std::int32_t> TextToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return std::nullopt;

  auto hexDigit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };

  bool hex = false;
  if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
    hex = true;
    ++i;
  } else if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }

  if (hex) {
    if (i == text.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
      const int d = hexDigit(text[i]);
      if (d < 0) return std::nullopt;
      value = value * 16 + static_cast<std::uint64_t>(d);
      if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }

  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (value > limit) return std::nullopt;
  }
  const auto signedValue = static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(negative ? -signedValue : signedValue);
}

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 16);
  const FormatArg* next = args.begin();
  std::size_t i = 0;
  while (i < format.size()) {
    const std::string_view rest = format.substr(i);
    const bool directive = rest.size() >= 2 && rest[0] == '%' && next != args.end();
    if (directive && rest.substr(0, 2) == "%s" && std::holds_alternative<std::string_view>(*next)) {
      out.append(std::get<std::string_view>(*next++));
      i += 2;
    } else if (directive && rest.substr(0, 3) == "%2d" &&
               std::holds_alternative<std::int64_t>(*next)) {
      std::string digits = std::to_string(std::get<std::int64_t>(*next++));
      if (digits.size() < 2) out.append(2 - digits.size(), ' ');
      out.append(digits);
      i += 3;
    } else if (directive && rest.substr(0, 4) == "%.8x" &&
               std::holds_alternative<std::int64_t>(*next)) {
      auto value = static_cast<std::uint32_t>(std::get<std::int64_t>(*next++));
      char hex[9];
      for (int k = 7; k >= 0; --k) {
        hex[k] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
      }
      out.append(hex, 8);
      i += 4;
    } else {
      out.push_back(format[i]);
      ++i;
    }
  }
  return out;
}

std::string TrimMessageTail(std::string_view message) {
  std::size_t end = message.size();
  while (end > 0 && (Byte(message[end - 1]) <= 0x20 || message[end - 1] == '.')) --end;
  return std::string(message.substr(0, end));
}

}  // namespace quillo::text
