// The core's text rules and parsing against the plain reference of fuzz/:
// inputs that once found a difference, and pages stitched at random from the
// markup's pieces, so that the normal build checks what the fuzzers check.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/Http.h"
#include "core/PageParsing.h"
#include "core/TextRules.h"
#include "reference/Reference.h"

namespace quillo {
namespace {

using namespace std::string_literals;

std::vector<std::string> Lines(std::string_view page) {
  std::vector<std::string> lines;
  ExtractEntries(page, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

std::vector<std::string> Links(std::string_view page) {
  PageLinkList links;
  ExtractPageLinks(page, links);
  return links;
}

TEST(Differential, CaseIgnoringDeletionFoldsTheTextOnceBeforeSearching) {
  // Found by the fuzzer (fuzz/regressions/text_rules): the second "s" is a
  // second byte of the whole text and stays unfolded, even though it begins
  // the rest of the text once the first occurrence is gone.
  EXPECT_EQ(text::DeleteAllIgnoreCase("s\x81s\x81", "s\x81"), "s\x81");
  EXPECT_EQ(reference::DeleteAllIgnoreCase("s\x81s\x81", "s\x81"), "s\x81");
  const std::string found =
      "s\x81\xff\xff\xff\x04\x8ds\x81\x8d\x8ds\x06s\x81s\x81\xff\xff\xff\x04\x8ds\x81\x8d\x8ds";
  EXPECT_EQ(text::DeleteAllIgnoreCase(found, "s\x81"),
            reference::DeleteAllIgnoreCase(found, "s\x81"));
}

// Pieces a result page is made of, and pieces that break it.
const std::vector<std::string> kPieces = {
    std::string(markup::kEntryStart),
    std::string(markup::kEntryEnd),
    std::string(markup::kLinkStart),
    std::string(markup::kLinkEnd),
    std::string(markup::kEntryFragments[0]),
    std::string(markup::kEntryFragments[1]),
    std::string(markup::kEntryFragments[2]),
    " target=_blank",
    " TaRGet=_BLANK",
    std::string(markup::kEntryFragments[4]),
    "</FONT>",
    "</A>",
    std::string(markup::kEntryFragments[7]),
    "\x8Ds",            // 行
    "\x83y\x81[\x83W",  // ページ
    "\x81",
    "\x81\x81",
    "\xE0",  // lead bytes shifting the double-byte rule
    "\x82\xA0",
    "\r\n",
    "\n",
    "\r",
    "\"",
    "\0"s,
    "<",
    "</",
    "s",
    "x",
    "12",
    "/servlet/x",
    "<TABLE border=",
};

std::string RandomPage(std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> count(0, 60);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::string page;
  for (std::size_t n = count(random); n > 0; --n) page += kPieces[pick(random)];
  return page;
}

TEST(Differential, RandomPagesParseAsTheReferenceDoes) {
  std::mt19937 random(20240601);
  for (int i = 0; i < 3000; ++i) {
    const std::string page = RandomPage(random);
    ASSERT_EQ(Links(page), reference::ExtractPageLinks(page)) << ::testing::PrintToString(page);
    ASSERT_EQ(Lines(page), reference::ExtractEntries(page)) << ::testing::PrintToString(page);
  }
}

TEST(Differential, RandomTextsFollowTheReferenceRules) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  for (int i = 0; i < 3000; ++i) {
    const std::string t = RandomPage(random);
    const std::string& pattern = kPieces[pick(random)];
    ASSERT_EQ(text::Find(t, pattern), reference::Find(t, pattern));
    ASSERT_EQ(text::DeleteAll(t, pattern), reference::DeleteAll(t, pattern));
    ASSERT_EQ(text::DeleteAllIgnoreCase(t, pattern), reference::DeleteAllIgnoreCase(t, pattern));
    ASSERT_EQ(text::EndsTextIgnoreCase(t, pattern), reference::EndsTextIgnoreCase(t, pattern));
    ASSERT_EQ(IsIpAddress(t), reference::IsIpAddress(t));
  }
}

TEST(Differential, SelfSimilarTextsAndPatterns) {
  // Two letters and a lead byte: patterns match partly almost everywhere,
  // many matches start on second bytes, and the searches fall back from
  // comparing candidates to their step-by-step scan.
  std::mt19937 random(11);
  const char alphabet[] = {'a', 'A', '\x81', '\n'};
  std::uniform_int_distribution<int> letter(0, 3);
  std::uniform_int_distribution<std::size_t> length(1, 12);
  for (int i = 0; i < 3000; ++i) {
    std::string t(200, ' ');
    for (char& c : t) c = alphabet[letter(random) % (i % 2 ? 2 : 4)];
    std::string pattern(length(random), ' ');
    for (char& c : pattern) c = alphabet[letter(random) % (i % 2 ? 2 : 4)];
    ASSERT_EQ(text::Find(t, pattern), reference::Find(t, pattern)) << i;
    ASSERT_EQ(text::DeleteAll(t, pattern), reference::DeleteAll(t, pattern)) << i;
    ASSERT_EQ(text::DeleteAllIgnoreCase(t, pattern), reference::DeleteAllIgnoreCase(t, pattern))
        << i;
    ASSERT_EQ(text::DeleteLineBreaks(t), reference::DeleteAll(reference::DeleteAll(t, "\n"), "\r"));
    const std::size_t from = length(random);
    const std::size_t at = reference::Find(std::string_view(t).substr(from), pattern);
    ASSERT_EQ(text::SearchText(t).find(pattern, from), at == text::npos ? at : from + at) << i;
  }
}

// Where two long texts first differ (npos when they are equal), for a
// failure message that fits on a screen.
std::size_t FirstDifference(const std::string& a, const std::string& b) {
  const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return x == a.end() && y == b.end() ? text::npos : static_cast<std::size_t>(x - a.begin());
}

TEST(Differential, LineBreaksAroundTheScanWindows) {
  // Long stretches without a line break are scanned 64 KiB at a time; lead
  // runs and line breaks sit across and just beside those boundaries.
  std::mt19937 random(3);
  std::uniform_int_distribution<int> kind(0, 9);
  for (int round = 0; round < 4; ++round) {
    std::string t(300 * 1024, 'x');
    for (char& c : t) c = kind(random) < 7 ? '\x88' : 'x';  // long lead runs
    // Breaks 64 KiB apart, or further, so that a window ends with no break.
    const std::size_t spacing = round % 2 ? 65536 : 100000;
    for (std::size_t edge = spacing; edge < t.size(); edge += spacing) {
      for (int d = -9; d <= 9; d += 3 + round) t[edge + d] = d % 2 ? '\n' : '\r';
    }
    EXPECT_EQ(FirstDifference(text::DeleteLineBreaks(t),
                              reference::DeleteAll(reference::DeleteAll(t, "\n"), "\r")),
              text::npos);
    EXPECT_EQ(FirstDifference(text::DeleteAll(t, "\n"), reference::DeleteAll(t, "\n")), text::npos);
  }
}

// Where pattern stands in text once its line breaks are deleted, mapped back
// to positions in text, found with the reference routines.
std::pair<std::size_t, std::size_t> ReferenceFindAcrossLineBreaks(const std::string& t,
                                                                  const std::string& pattern,
                                                                  std::size_t from) {
  std::vector<std::size_t> kept;  // positions in t of the bytes the deletion keeps
  std::string oneLine;
  for (std::size_t i = 0; i < t.size() && t[i] != '\0'; ++i) {
    if ((t[i] == '\n' || t[i] == '\r') && !reference::IsTrail(t, i)) continue;
    kept.push_back(i);
    oneLine += t[i];
  }
  std::size_t keptFrom = 0;
  while (keptFrom < kept.size() && kept[keptFrom] < from) ++keptFrom;
  const std::size_t at = reference::Find(std::string_view(oneLine).substr(keptFrom), pattern);
  if (at == reference::kNotFound) return {text::npos, text::npos};
  return {kept[keptFrom + at], kept[keptFrom + at + pattern.size() - 1] + 1};
}

TEST(Differential, SearchesAcrossLineBreaksAsInTheTextWithoutThem) {
  // Line breaks between every byte make comparing costly enough that the
  // search goes over to its step-by-step scan.
  std::mt19937 random(5);
  const char alphabet[] = {'a', 'b', '\n', '\r', '\x81'};
  std::uniform_int_distribution<int> letter(0, 4);
  std::uniform_int_distribution<std::size_t> length(1, 8);
  for (int i = 0; i < 3000; ++i) {
    std::string t(300, ' ');
    for (char& c : t) c = alphabet[letter(random) % (i % 3 ? 4 : 5)];
    std::string pattern(length(random), ' ');
    for (char& c : pattern) c = alphabet[letter(random) % 2];
    std::size_t from = length(random) * 10;
    while (from > 0 && text::IsLeadByte(static_cast<unsigned char>(t[from - 1]))) --from;
    ASSERT_EQ(text::SearchText(t).findAcrossLineBreaks(pattern, from),
              ReferenceFindAcrossLineBreaks(t, pattern, from))
        << ::testing::PrintToString(t) << " " << pattern << " " << from;
  }
}

TEST(Differential, NumbersFollowTheReferenceRule) {
  const char* const cases[] = {"0",
                               "-0",
                               "+7",
                               " 12",
                               "12 ",
                               "",
                               " ",
                               "-",
                               "$",
                               "0x",
                               "x1F",
                               "$fFfFfFfF",
                               "0x100000000",
                               "2147483647",
                               "2147483648",
                               "-2147483648",
                               "-2147483649",
                               "000000000000255",
                               "-$1",
                               "1e3",
                               "\t1",
                               "0X7fffffff",
                               "99999999999999999999"};
  for (const char* c : cases) {
    EXPECT_EQ(text::TextToInt(c), reference::TextToInt(c)) << c;
    EXPECT_EQ(ReadStatus("HTTP/1.0 "s + c + " OK"),
              reference::ReadStatus("HTTP/1.0 "s + c + " OK"));
  }
}

}  // namespace
}  // namespace quillo
