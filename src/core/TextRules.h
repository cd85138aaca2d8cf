#pragma once

// Rules for searching and editing CP932 (Shift-JIS) byte strings.
//
// A match never begins on the second byte of a double-byte character; a byte
// is such a second byte when the run of lead bytes directly before it has odd
// length. A search sees a text only up to its first zero byte. A search may
// cost text length times pattern length; for the page markers it is linear.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "base/LeadByte.h"

namespace quillo::text {

inline constexpr std::size_t npos = std::string_view::npos;

// True when text[index] is the second byte of a double-byte character,
// counting from the start of text.
bool IsTrailByte(std::string_view text, std::size_t index);

// The part of text a search sees: everything before its first zero byte.
std::string_view VisiblePart(std::string_view text);

// A text prepared for repeated forward searches: cut at its first zero byte
// once, so that a walk over many matches stays linear.
class SearchText {
 public:
  explicit SearchText(std::string_view text) : visible_(VisiblePart(text)) {}

  std::string_view visible() const { return visible_; }

  // Position of the first exact match of pattern at or after from that does
  // not begin on a trail byte, the double-byte rule counted from `from` (as
  // if the text began there); npos when there is none or pattern is empty.
  std::size_t find(std::string_view pattern, std::size_t from = 0) const;

 private:
  std::string_view visible_;
};

// First match of pattern in text by the rules above (npos when none).
std::size_t Find(std::string_view text, std::string_view pattern);
// The same, ASCII letters compared without regard to case.
std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern);

// text with every occurrence of fragment deleted, left to right and
// non-overlapping; after each deletion the search goes on behind it with the
// double-byte rule counted anew. Bytes behind the first zero byte are kept.
std::string DeleteAll(std::string_view text, std::string_view fragment);
std::string DeleteAllIgnoreCase(std::string_view text, std::string_view fragment);

// text with every LF deleted, then every CR, by the rules of DeleteAll, in
// one pass.
std::string DeleteLineBreaks(std::string_view text);

// Case-ignoring prefix and suffix tests. The suffix must not begin on a
// trail byte; bytes that are second bytes of a character are never folded.
bool StartsTextIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsTextIgnoreCase(std::string_view text, std::string_view suffix);

// Upper-cases the ASCII letters of text that are not second bytes.
std::string UpperCaseAscii(std::string_view text);

// The text-to-integer rule: leading spaces, then a signed decimal number or a
// hexadecimal one ("$", "x", "X", "0x", "0X"), nothing after the digits.
// Decimal values must fit in 32 signed bits; hexadecimal ones are a 32-bit
// pattern. nullopt when the text does not convert.
std::optional<std::int32_t> TextToInt(std::string_view text);

// Formats with the directives %s (a text unchanged), %2d (decimal, at least
// two characters, padded with spaces) and %.8x (32-bit pattern, upper-case hex,
// at least eight digits). Arguments are taken in order; a directive without a
// matching argument, or any other '%', is copied as it stands.
using FormatArg = std::variant<std::string_view, std::int64_t>;
std::string Format(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace quillo::text
