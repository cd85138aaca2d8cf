// The core's text rules and parsing against the plain reference of fuzz/:
// inputs that once found a difference, and pages stitched at random from the
// markup's pieces, so that the normal build checks what the fuzzers check.

#include <gtest/gtest.h>

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
  // Two letters and a lead byte: patterns match partly almost everywhere
  // and many matches start on second bytes.
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
