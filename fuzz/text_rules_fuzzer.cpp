// The text rules against their plain reference: trail bytes, searches,
// deletions, case folding, prefix and suffix tests.
//
// Input: one byte for the pattern's length (up to 40 bytes), one for the
// offset a search starts from, the pattern, then the text.

#include <algorithm>

#include "FuzzCheck.h"
#include "core/TextRules.h"
#include "reference/Reference.h"

namespace ref = quillo::reference;
namespace text = quillo::text;
using quillo::fuzz::ExpectSame;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t patternSize = std::min<std::size_t>(data[0] % 41, size - 2);
  const std::size_t from = data[1];
  const std::string_view pattern = quillo::fuzz::Bytes(data + 2, patternSize);
  const std::string_view t = quillo::fuzz::Bytes(data + 2 + patternSize, size - 2 - patternSize);

  // A spread of positions: all near the start, then every step-th.
  const std::size_t step = t.size() / 64 + 1;
  for (std::size_t i = 0; i < t.size(); i += i < 64 ? 1 : step) {
    ExpectSame("IsTrailByte", text::IsTrailByte(t, i), ref::IsTrail(t, i));
  }

  ExpectSame("Find", text::Find(t, pattern), ref::Find(t, pattern));
  ExpectSame("FindIgnoreCase", text::FindIgnoreCase(t, pattern), ref::FindIgnoreCase(t, pattern));

  // A search from an offset counts the double-byte rule from there.
  const text::SearchText search(t);
  const std::string_view visible = t.substr(0, t.find('\0'));
  std::size_t expected = text::npos;
  if (from <= visible.size()) {
    const std::size_t at = ref::Find(visible.substr(from), pattern);
    if (at != ref::kNotFound) expected = from + at;
  }
  ExpectSame("SearchText::find", search.find(pattern, from), expected);

  ExpectSame("DeleteAll", text::DeleteAll(t, pattern), ref::DeleteAll(t, pattern));
  ExpectSame("DeleteAllIgnoreCase", text::DeleteAllIgnoreCase(t, pattern),
             ref::DeleteAllIgnoreCase(t, pattern));
  ExpectSame("DeleteLineBreaks", text::DeleteLineBreaks(t),
             ref::DeleteAll(ref::DeleteAll(t, "\n"), "\r"));
  ExpectSame("UpperCaseAscii", text::UpperCaseAscii(t), ref::Upper(t));
  ExpectSame("StartsTextIgnoreCase", text::StartsTextIgnoreCase(t, pattern),
             ref::StartsTextIgnoreCase(t, pattern));
  ExpectSame("EndsTextIgnoreCase", text::EndsTextIgnoreCase(t, pattern),
             ref::EndsTextIgnoreCase(t, pattern));
  return 0;
}
