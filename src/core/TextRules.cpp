#include "core/TextRules.h"

#include <algorithm>
#include <cstdio>

namespace quillo::text {
namespace {

bool IsLead(char c) { return IsLeadByte(static_cast<unsigned char>(c)); }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Answers "is text[pos] a second byte?" for rising positions, the rule
// counted from `start`. An answer walks back over the lead run before pos,
// but never past the last position asked about, whose answer it carries on;
// so one search looks at each byte of the text at most once.
class TrailTracker {
 public:
  TrailTracker(std::string_view text, std::size_t start) : text_(text), known_(start) {}

  bool isTrail(std::size_t pos) {
    std::size_t i = pos;
    while (i > known_ && IsLead(text_[i - 1])) --i;
    const bool odd = (pos - i) % 2 == 1;
    knownTrail_ = i == known_ ? odd != knownTrail_ : odd;
    known_ = pos;
    return knownTrail_;
  }

 private:
  std::string_view text_;
  std::size_t known_;
  bool knownTrail_ = false;  // nothing lies before start
};

// text with every occurrence of pattern found in `searched` deleted; searched
// is text itself or its upper-cased copy, whose bytes stand where text's do.
std::string DeleteFound(std::string_view text, std::string_view searched,
                        std::string_view pattern) {
  const SearchText search(searched);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (std::size_t at; (at = search.find(pattern, pos)) != npos; pos = at + pattern.size()) {
    out.append(text, pos, at - pos);
  }
  out.append(text, pos);  // the rest, and everything behind the first zero byte
  return out;
}

// Compares text[at..] with pattern, ASCII letters folded except where text
// has a second byte; `at` must not be a second byte.
bool EqualIgnoreCase(std::string_view text, std::size_t at, std::string_view pattern) {
  bool trail = false;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    const char a = text[at + k];
    const char b = pattern[k];
    if (trail ? a != b : UpperAscii(a) != UpperAscii(b)) return false;
    trail = !trail && IsLead(a);
  }
  return true;
}

}  // namespace

bool IsTrailByte(std::string_view text, std::size_t index) {
  return TrailTracker(text, 0).isTrail(index);
}

std::string_view VisiblePart(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

std::size_t SearchText::find(std::string_view pattern, std::size_t from) const {
  if (pattern.empty() || from > visible_.size()) return npos;
  // Candidates come from the standard search (the first byte, then the
  // rest compared); those on a second byte are passed over. No page marker
  // overlaps itself by more than two bytes, so no byte of the text is
  // compared for more than three candidates.
  TrailTracker trail(visible_, from);
  for (std::size_t at = visible_.find(pattern, from); at != npos;
       at = visible_.find(pattern, at + 1)) {
    if (!trail.isTrail(at)) return at;
  }
  return npos;
}

std::size_t Find(std::string_view text, std::string_view pattern) {
  return SearchText(text).find(pattern);
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern) {
  return Find(UpperCaseAscii(VisiblePart(text)), UpperCaseAscii(pattern));
}

std::string DeleteAll(std::string_view text, std::string_view fragment) {
  return DeleteFound(text, text, fragment);
}

std::string DeleteAllIgnoreCase(std::string_view text, std::string_view fragment) {
  // The text is folded once, before the first search.
  return DeleteFound(text, UpperCaseAscii(text), UpperCaseAscii(fragment));
}

std::string DeleteLineBreaks(std::string_view text) {
  // One walk decides LF and CR alike, the rule counted from the start: a
  // deleted byte is neither a lead nor a second byte, so the lead run before
  // it is even, and counting anew behind it or joining the runs around it
  // once it is gone changes no parity.
  const std::string_view visible = VisiblePart(text);
  TrailTracker trail(visible, 0);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;  // visible[pos..] is not copied yet
  std::size_t lf = visible.find('\n');
  std::size_t cr = visible.find('\r');
  while (lf != npos || cr != npos) {
    const std::size_t at = std::min(lf, cr);
    if (!trail.isTrail(at)) {
      out.append(visible, pos, at - pos);
      pos = at + 1;
    }
    if (at == lf) lf = visible.find('\n', at + 1);
    if (at == cr) cr = visible.find('\r', at + 1);
  }
  out.append(text, pos);  // the rest, and everything behind the first zero byte
  return out;
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
    trail = !trail && IsLead(c);
  }
  return out;
}

std::optional<std::int32_t> TextToInt(std::string_view text) {
  while (text.starts_with(' ')) text.remove_prefix(1);
  int base = 10;
  if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  const bool negative = base == 10 && text.starts_with('-');
  if (base == 10 && (negative || text.starts_with('+'))) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;

  // Decimal values must fit in 32 signed bits; hexadecimal ones are a pattern.
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : negative ? 2147483648ull : 2147483647ull;
  std::uint64_t value = 0;
  for (const char c : text) {
    int digit = 16;  // a digit of neither base
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit >= base) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  if (base == 16) return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  const auto signedValue = static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(negative ? -signedValue : signedValue);
}

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  const FormatArg* next = args.begin();
  for (std::size_t i = 0; i < format.size();) {
    const std::string_view rest = format.substr(i);
    const auto* text = next != args.end() ? std::get_if<std::string_view>(next) : nullptr;
    const auto* number = next != args.end() ? std::get_if<std::int64_t>(next) : nullptr;
    if (text != nullptr && rest.starts_with("%s")) {
      out.append(*text);
      i += 2;
    } else if (number != nullptr && rest.starts_with("%2d")) {
      const std::string digits = std::to_string(*number);
      out.append(digits.size() < 2 ? 1 : 0, ' ').append(digits);
      i += 3;
    } else if (number != nullptr && rest.starts_with("%.8x")) {
      char hex[9];
      std::snprintf(hex, sizeof hex, "%08X", static_cast<std::uint32_t>(*number));
      out.append(hex, 8);
      i += 4;
    } else {
      out.push_back(format[i++]);
      continue;
    }
    ++next;
  }
  return out;
}

}  // namespace quillo::text
