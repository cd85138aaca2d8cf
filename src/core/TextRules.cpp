#include "core/TextRules.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

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

bool HasLeadByte(std::string_view text) {
  for (char c : text) {
    if (IsLeadByte(Byte(c))) return true;
  }
  return false;
}

constexpr bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

// How many bytes x and y have in common from their start, up to n.
std::size_t CommonPrefix(const char* x, const char* y, std::size_t n) {
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; n - i >= 8; i += 8) {
      std::uint64_t a;
      std::uint64_t b;
      std::memcpy(&a, x + i, 8);
      std::memcpy(&b, y + i, 8);
      if (a != b) return i + static_cast<std::size_t>(std::countr_zero(a ^ b)) / 8;
    }
  }
  while (i < n && x[i] == y[i]) ++i;
  return i;
}

// Searches one pattern: exactly, or with ASCII letters folded on both sides,
// or in the text as it would be with its LF and CR deleted.
//
// Folding every byte of the text is the same as folding an upper-cased copy
// only when the pattern holds no lead byte: then no byte of a match but its
// first can be a second byte, and the first is checked not to be one.
// Skipping line breaks needs the same of the pattern, and no LF or CR in
// it: every line break inside a match then follows an ASCII byte, so it is
// one the deletion would remove, and the second-byte rule gives the same
// answer with or without the deleted breaks (each ends an even lead run).
template <bool kFold, bool kSkipBreaks = false>
class Matcher {
 public:
  explicit Matcher(std::string_view pattern) : pattern_(pattern) {}

  // The contract of SearchText::find over an already visible text.
  std::size_t find(std::string_view visible, std::size_t from) const {
    const std::size_t m = pattern_.size();
    const std::size_t n = visible.size();
    if (m == 0 || from > n || n - from < m) return npos;
    TrailTracker trail(visible, from);

    // Candidates found by their first byte and compared whole: fast on any
    // real page. Comparing may cost many bytes per candidate, so it may
    // spend only about twice the text it has passed; a text built to make
    // it spend more is searched on by KMP, which never steps back.
    std::size_t spent = 0;
    std::size_t pos = from;
    while (n - pos >= m) {
      const std::size_t at = nextFirstByte(visible, pos, n - m + 1);
      if (at == npos) return npos;
      std::size_t examined = 0;
      const std::size_t end = matchEnd(visible, at, examined);
      if (end != npos && !trail.isTrail(at)) return at;
      pos = at + 1;
      spent += examined;
      if (spent > 2 * (pos - from) + 2 * m) return findByKmp(visible, pos, trail);
    }
    return npos;
  }

  // Where the match that begins at `at` ends (behind its last byte), or
  // npos when the pattern does not stand there; `examined` counts the bytes
  // looked at.
  std::size_t matchEnd(std::string_view visible, std::size_t at, std::size_t& examined) const {
    std::size_t k = 0;
    std::size_t j = at;
    while (k < pattern_.size() && j < visible.size()) {
      if (!kFold) {  // equal stretches eight bytes at a time
        const std::size_t same = CommonPrefix(visible.data() + j, pattern_.data() + k,
                                              std::min(pattern_.size() - k, visible.size() - j));
        j += same;
        k += same;
        if (k == pattern_.size() || j == visible.size()) break;
      }
      if (kSkipBreaks && k > 0 && IsLineBreak(visible[j])) {
        ++j;
      } else if (Same(visible[j], pattern_[k])) {
        ++j;
        ++k;
      } else {
        examined = j - at + 1;
        return npos;
      }
    }
    examined = j - at;
    return k == pattern_.size() ? j : npos;
  }

 private:
  static char Fold(char c) { return kFold ? UpperAscii(c) : c; }
  static bool Same(char a, char b) { return Fold(a) == Fold(b); }

  std::size_t nextFirstByte(std::string_view visible, std::size_t pos, std::size_t end) const {
    const char first = Fold(pattern_[0]);
    if (!kFold || first < 'A' || first > 'Z') {
      const void* hit = std::memchr(visible.data() + pos, first, end - pos);
      if (hit == nullptr) return npos;
      return static_cast<std::size_t>(static_cast<const char*>(hit) - visible.data());
    }
    for (; pos < end; ++pos) {
      if (Fold(visible[pos]) == first) return pos;
    }
    return npos;
  }

  std::size_t findByKmp(std::string_view visible, std::size_t pos, TrailTracker& trail) const {
    const std::size_t m = pattern_.size();
    // border[k]: length of the longest proper border of pattern[0..k].
    std::vector<std::size_t> border(m, 0);
    for (std::size_t k = 1, b = 0; k < m; ++k) {
      while (b > 0 && !Same(pattern_[k], pattern_[b])) b = border[b - 1];
      if (Same(pattern_[k], pattern_[b])) ++b;
      border[k] = b;
    }
    // Positions of the last m bytes taken, for where a match began when
    // line breaks were skipped inside it.
    std::vector<std::size_t> taken(kSkipBreaks ? m : 0);
    std::size_t count = 0;
    std::size_t state = 0;
    for (std::size_t i = pos; i < visible.size(); ++i) {
      if (kSkipBreaks && state > 0 && IsLineBreak(visible[i])) continue;
      while (state > 0 && !Same(visible[i], pattern_[state])) state = border[state - 1];
      if (Same(visible[i], pattern_[state])) ++state;
      if (kSkipBreaks) taken[count++ % m] = i;
      if (state == m) {
        const std::size_t start = kSkipBreaks ? taken[count % m] : i + 1 - m;
        if (!trail.isTrail(start)) return start;
        state = border[m - 1];
      }
    }
    return npos;
  }

  std::string_view pattern_;
};

std::size_t FindFrom(std::string_view visible, std::string_view pattern, std::size_t from) {
  return Matcher<false>(pattern).find(visible, from);
}

// Deletes every occurrence found in `search` (a text of the same length as
// `source`, possibly case-folded), writing the bytes of `source` to `out`,
// which may be source's own storage: writing never overtakes reading.
template <class Match>
std::size_t DeleteAllInto(std::string_view source, std::string_view search, const Match& match,
                          std::size_t patternSize, char* out) {
  const std::string_view visible = VisiblePart(search);
  std::size_t written = 0;
  std::size_t pos = 0;
  auto keep = [&](std::size_t from, std::size_t count) {
    if (count > 0 && out + written != source.data() + from) {
      std::memmove(out + written, source.data() + from, count);
    }
    written += count;
  };
  for (;;) {
    const std::size_t at = match.find(visible, pos);
    if (at == npos) break;
    keep(pos, at - pos);
    pos = at + patternSize;
  }
  keep(pos, source.size() - pos);  // includes everything behind a zero byte
  return written;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

// The high bit of the first byte of word equal to c is set; bits above it
// may be set wrongly, bits below it never are. Zero when no byte equals c.
constexpr std::uint64_t ByteMatches(std::uint64_t word, char c) {
  const std::uint64_t x = word ^ (kOnes * Byte(c));
  return (x - kOnes) & ~x & kHighs;
}

constexpr auto kLead = [] {
  std::array<bool, 256> lead{};
  for (int c = 0; c < 256; ++c) lead[c] = IsLeadByte(static_cast<unsigned char>(c));
  return lead;
}();

// Whether in[pos] is a second byte, given that in[known] is one exactly
// when knownTrail: walks back no further than known.
bool TrailAt(const char* in, std::size_t pos, std::size_t known, bool knownTrail) {
  std::size_t i = pos;
  while (i > known && IsLeadByte(Byte(in[i - 1]))) --i;
  return ((pos - i) % 2 == 1) != (i == known && knownTrail);
}

// Deletes every a and b that is not a second byte, as DeleteAll of a and
// then of b would. Both must be neither lead bytes nor zero: a deleted byte
// then always ends a lead run of even length, so the double-byte rule
// counted anew behind it agrees with the rule counted from the start, and
// one walk decides every byte.
void DeleteSingleBytes(std::string_view text, char a, char b, std::string& out) {
  const std::string_view visible = VisiblePart(text);
  const std::size_t n = visible.size();
  const char* const in = visible.data();
  out.clear();
  out.reserve(text.size());  // appended to, never filled with zeros first
  bool trail = false;        // whether in[known] is a second byte
  std::size_t known = 0;     // the position `trail` speaks of

  // The next a and the next b, each found by memchr and kept until passed:
  // where they are rare, the text between them is only scanned and copied.
  // memchr looks 64 KiB ahead at most and then reports the window's end as
  // if a hit were there, so that the copy that follows a scan reads from
  // the cache, not from memory a second time.
  constexpr std::size_t kWindow = 64 * 1024;
  auto find = [&](char c, std::size_t from) {
    const std::size_t end = std::min(n, from + kWindow);
    const void* hit = std::memchr(in + from, c, end - from);
    return hit == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(hit) - in);
  };
  std::size_t nextA = find(a, 0);
  std::size_t nextB = a == b ? nextA : find(b, 0);
  auto nextHit = [&](std::size_t from) {
    if (nextA < from) nextA = find(a, from);
    if (nextB < from) nextB = a == b ? nextA : find(b, from);
    return std::min(nextA, nextB);
  };

  // Bytes around dense a and b are compacted into a small buffer first and
  // appended in batches.
  constexpr std::size_t kBatch = 4096;
  char batch[kBatch + 8];
  std::size_t used = 0;
  std::size_t copied = 0;  // in[copied, pos) is still to be copied
  auto copyUpTo = [&](std::size_t end) {
    out.append(batch, used);
    used = 0;
    out.append(in + copied, end - copied);
    copied = end;
  };
  std::size_t pos = nextHit(0);
  while (pos < n) {
    const std::size_t next = nextHit(pos + 1);
    if (next - pos > 8 || n - pos < 8) {
      // A lone a or b: deleted unless it is a second byte. It is no lead
      // byte, so the byte behind it is no second byte. (The end of a scan
      // window lands here too, on any byte, and is passed over.)
      if (in[pos] == a || in[pos] == b) {
        if (!TrailAt(in, pos, known, trail)) {
          copyUpTo(pos);
          copied = pos + 1;
        }
        known = pos + 1;
        trail = false;
      }
      pos = next;
      continue;
    }
    // Dense: eight bytes at a time, stored whole and compacted as they go,
    // for as long as the next word holds a or b too.
    if (pos > copied || used > kBatch) copyUpTo(pos);
    bool t = TrailAt(in, pos, known, trail);
    for (;;) {
      std::size_t o = used;
      for (std::size_t k = 0; k < 8; ++k) {
        // Bitwise, not short-circuit: the bytes are too mixed to predict.
        const char c = in[pos + k];
        const bool hit = (c == a) | (c == b);
        batch[o] = c;
        o += static_cast<std::size_t>(!(hit & !t));
        t = !t & kLead[Byte(c)];
      }
      used = o;
      pos += 8;
      if (n - pos < 8 || used > kBatch) break;
      std::uint64_t word;
      std::memcpy(&word, in + pos, 8);
      if constexpr (std::endian::native == std::endian::little) {
        if ((ByteMatches(word, a) | ByteMatches(word, b)) == 0) break;
      } else {
        break;
      }
    }
    trail = t;
    known = copied = pos;
    pos = nextHit(pos);
  }
  copyUpTo(n);
  out.append(text.substr(n));  // what lies behind the first zero byte, as it is
}

bool IsSingleNonLeadByte(std::string_view fragment) {
  return fragment.size() == 1 && fragment[0] != '\0' && !IsLeadByte(Byte(fragment[0]));
}

std::string DeleteAllIn(std::string_view source, std::string_view search,
                        std::string_view pattern) {
  std::string out(source.size(), '\0');
  out.resize(DeleteAllInto(source, search, Matcher<false>(pattern), pattern.size(), out.data()));
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

std::pair<std::size_t, std::size_t> SearchText::findAcrossLineBreaks(std::string_view pattern,
                                                                     std::size_t from) const {
  const Matcher<false, true> matcher(pattern);
  const std::size_t at = matcher.find(visible_, from);
  if (at == npos) return {npos, npos};
  std::size_t examined = 0;
  return {at, matcher.matchEnd(visible_, at, examined)};
}

std::size_t Find(std::string_view text, std::string_view pattern) {
  return SearchText(text).find(pattern);
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern) {
  const std::string upper = UpperCaseAscii(VisiblePart(text));
  return FindFrom(upper, UpperCaseAscii(pattern), 0);
}

std::string DeleteAll(std::string_view text, std::string_view fragment) {
  if (IsSingleNonLeadByte(fragment)) {
    std::string out;
    DeleteSingleBytes(text, fragment[0], fragment[0], out);
    return out;
  }
  return DeleteAllIn(text, text, fragment);
}

std::string DeleteAllIgnoreCase(std::string_view text, std::string_view fragment) {
  if (!HasLeadByte(fragment)) {
    std::string out(text.size(), '\0');
    out.resize(DeleteAllInto(text, text, Matcher<true>(fragment), fragment.size(), out.data()));
    return out;
  }
  // Folding leaves lead bytes and zero bytes where they were, so positions
  // found in the folded copy are positions in the text.
  const std::string upper = UpperCaseAscii(text);
  return DeleteAllIn(text, upper, UpperCaseAscii(fragment));
}

void DeleteAllInPlace(std::string& text, std::string_view fragment) {
  text.resize(DeleteAllInto(text, text, Matcher<false>(fragment), fragment.size(), text.data()));
}

void DeleteAllIgnoreCaseInPlace(std::string& text, std::string_view fragment) {
  if (HasLeadByte(fragment)) {
    text = DeleteAllIgnoreCase(text, fragment);
    return;
  }
  text.resize(DeleteAllInto(text, text, Matcher<true>(fragment), fragment.size(), text.data()));
}

std::string DeleteLineBreaks(std::string_view text) {
  std::string out;
  DeleteLineBreaks(text, out);
  return out;
}

void DeleteLineBreaks(std::string_view text, std::string& out) {
  // Deleting LF first and CR afterwards decides every CR as the one pass
  // does: each deleted LF ends an even lead run, so no parity changes.
  DeleteSingleBytes(text, '\n', '\r', out);
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
