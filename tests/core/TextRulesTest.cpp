#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "base/Error.h"
#include "core/Messages.h"
#include "core/TextRules.h"

namespace quillo::text {
namespace {

using namespace std::string_literals;

TEST(TrailByte, OddRunOfLeadBytesBeforeIt) {
  const std::string t = "a\x81\x40\x81\x81\x81X";
  EXPECT_FALSE(IsTrailByte(t, 0));
  EXPECT_FALSE(IsTrailByte(t, 1));
  EXPECT_TRUE(IsTrailByte(t, 2));   // 81 40
  EXPECT_FALSE(IsTrailByte(t, 3));  // 40 is not a lead byte: a new character
  EXPECT_TRUE(IsTrailByte(t, 4));   // 81 81
  EXPECT_FALSE(IsTrailByte(t, 5));
  EXPECT_TRUE(IsTrailByte(t, 6));  // 81 X
  EXPECT_TRUE(IsLeadByte(0x9F));
  EXPECT_FALSE(IsLeadByte(0xA0));  // half-width katakana are single bytes
  EXPECT_TRUE(IsLeadByte(0xE0));
  EXPECT_TRUE(IsLeadByte(0xFC));
  EXPECT_FALSE(IsLeadByte(0xFD));
}

TEST(Find, NeverStartsOnASecondByte) {
  EXPECT_EQ(Find("\x82<b<", "<"), 3u);
  EXPECT_EQ(Find("\x82\x82<", "<"), 2u);
  EXPECT_EQ(Find("\xE0\xE0\xE0<x<", "<"), 5u);
  // The same bytes repeated: a run of leads decides every other position.
  EXPECT_EQ(Find("\x81\x81\x81\x81", "\x81\x81"), 0u);
  EXPECT_EQ(Find("x\x81\x81\x81", "\x81\x81"), 1u);
  EXPECT_EQ(Find("\x81\x81\x81", "\x81X"), npos);
}

TEST(Find, SeesTheTextUpToItsFirstZeroByte) {
  EXPECT_EQ(Find("ab\0cd"s, "cd"), npos);
  EXPECT_EQ(Find("ab\0cd"s, "b"), 1u);
  EXPECT_EQ(Find("abc", ""), npos);
  EXPECT_EQ(Find("", "a"), npos);
}

TEST(Find, FromAnOffsetCountsTheRuleFromThere) {
  const SearchText t("\x81<<");
  EXPECT_EQ(t.find("<"), 2u);
  EXPECT_EQ(t.find("<", 1), 1u);  // as if the text began at the "<"
}

TEST(Find, IgnoringCaseFoldsAsciiLettersOnly) {
  EXPECT_EQ(FindIgnoreCase("xx TARGET=_Blank", " target=_blank"), 2u);
  EXPECT_EQ(FindIgnoreCase("\x82"
                           "a",
                           "A"),
            npos);
  // Second bytes are not letters: 0x8D 0x53 is not 0x8D 0x73.
  EXPECT_EQ(FindIgnoreCase("\x8D\x53", "\x8D\x73"), npos);
}

TEST(DeleteAll, LeftToRightWithoutOverlap) {
  EXPECT_EQ(DeleteAll("aaaa", "aa"), "");
  EXPECT_EQ(DeleteAll("aaa", "aa"), "a");
  EXPECT_EQ(DeleteAll("xabcabcx", "abc"), "xx");
  EXPECT_EQ(DeleteAll("aabb", "ab"), "ab");  // the joined "ab" is not searched again
  EXPECT_EQ(DeleteAll("abc", ""), "abc");
  EXPECT_EQ(DeleteAll("", "x"), "");
}

TEST(DeleteAll, KeepsEverythingBehindTheFirstZeroByte) {
  EXPECT_EQ(DeleteAll("a.b\0.c.\0."s, "."), "ab\0.c.\0."s);
}

TEST(DeleteAll, CountsTheDoubleByteRuleAnewBehindEachDeletion) {
  // After "\x81X" is deleted the remaining text starts at "<": the lead run
  // does not carry over, so that "<" is found.
  EXPECT_EQ(DeleteAll("\x81X<", "\x81X"), "<");
  EXPECT_EQ(DeleteAll("ab\x81<", "<"), "ab\x81<");
  EXPECT_EQ(DeleteAll("\x81\x81<\x81<", "<"), "\x81\x81\x81<");
}

TEST(DeleteAll, IgnoringCaseKeepsThePageLetterCase) {
  EXPECT_EQ(DeleteAllIgnoreCase("A target=_blank B TARGET=_BLANK C", " target=_blank"), "A B C");
  EXPECT_EQ(DeleteAllIgnoreCase("Keep Case", "x"), "Keep Case");
}

TEST(PrefixSuffix, IgnoreCaseAndRespectCharacters) {
  EXPECT_TRUE(StartsTextIgnoreCase("HTTP://Listings.Example/x", "http://listings.example/"));
  EXPECT_FALSE(StartsTextIgnoreCase("http://listings.exampl", "http://listings.example/"));
  EXPECT_TRUE(StartsTextIgnoreCase("anything", ""));
  EXPECT_TRUE(EndsTextIgnoreCase("50\x8Ds", "\x8Ds"));
  EXPECT_FALSE(EndsTextIgnoreCase("50\x8DS", "\x8Ds"));       // a different character
  EXPECT_FALSE(EndsTextIgnoreCase("\x81\x8D\x73", "\x8Ds"));  // starts on a second byte
  EXPECT_TRUE(EndsTextIgnoreCase("PAGE", "page"));
  EXPECT_FALSE(EndsTextIgnoreCase("s", "\x8Ds"));
}

TEST(TextToInt, DecimalAndHexadecimalForms) {
  const std::pair<std::string, std::optional<std::int32_t>> cases[] = {
      {"0", 0},
      {"200", 200},
      {"  42", 42},
      {"+7", 7},
      {"-7", -7},
      {"007", 7},
      {"$ff", 255},
      {"xFF", 255},
      {"X10", 16},
      {"0x10", 16},
      {"0X1f", 31},
      {"$FFFFFFFF", -1},
      {"$000000000001", 1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"$100000000", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"\t1", std::nullopt},
      {"1 ", std::nullopt},
      {"-$1", std::nullopt},
      {"+", std::nullopt},
      {"0x", std::nullopt},
      {"$", std::nullopt},
      {"1e3", std::nullopt},
      {"12a", std::nullopt},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(TextToInt(text), value) << '"' << text << '"';
}

TEST(Format, ThreeDirectives) {
  EXPECT_EQ(Format("[%s]", {"host"}), "[host]");
  EXPECT_EQ(Format("%2d/%2d", {1, 3}), " 1/ 3");
  EXPECT_EQ(Format("%2d|%2d", {12, 101}), "12|101");
  EXPECT_EQ(Format("%.8x", {0x80004005}), "80004005");
  EXPECT_EQ(Format("%.8x", {-2147467259}), "80004005");
  EXPECT_EQ(Format("%.8x", {0x1f}), "0000001F");
  EXPECT_EQ(Format("100%", {}), "100%");
  EXPECT_EQ(Format("%s %s", {"only"}), "only %s");
}

TEST(Messages, TrimAndFullStopRules) {
  EXPECT_EQ(TrimMessageTail("Connection refused.\r\n"), "Connection refused");
  EXPECT_EQ(TrimMessageTail(" . \t"), "");
  EXPECT_EQ(WithFullStop("Interface not supported"), "Interface not supported.");
  EXPECT_EQ(WithFullStop("[h] IS INVALID ADDRSS."), "[h] IS INVALID ADDRSS.");
  EXPECT_EQ(WithFullStop("x)"), "x)");
  EXPECT_EQ(WithFullStop("x!"), "x!");
  EXPECT_EQ(WithFullStop("x "), "x ");
  EXPECT_EQ(WithFullStop("x/"), "x/.");
  EXPECT_EQ(WithFullStop("9"), "9.");
  EXPECT_EQ(WithFullStop(""), "");
  // A double-byte character is judged by its first byte, whatever its second.
  EXPECT_EQ(WithFullStop("\x83\x40"), "\x83\x40.");
  EXPECT_EQ(WithFullStop("\xB1"), "\xB1.");  // half-width katakana
}

// What a front end shows for whatever escapes an action.
TEST(Messages, ErrorOfEveryKindOfFailure) {
  EXPECT_EQ(ErrorOf([] {}), std::nullopt);
  EXPECT_EQ(ErrorOf([] { throw Error("[h] IS INVALID ADDRSS."); }), "[h] IS INVALID ADDRSS.");
  EXPECT_EQ(ErrorOf([] { throw std::bad_alloc(); }), "Out of memory");
  EXPECT_EQ(ErrorOf([] { throw std::length_error("basic_string::_M_create"); }),
            "basic_string::_M_create");
}

TEST(Messages, ApplicationTitle) {
  EXPECT_EQ(ApplicationTitle("QUILLO.EXE"), "Quillo");
  EXPECT_EQ(ApplicationTitle("quillo"), "quillo");
  EXPECT_EQ(ApplicationTitle("My.Tool.exe"), "My");
  EXPECT_EQ(ApplicationTitle("ABC"), "Abc");
  EXPECT_EQ(ApplicationTitle(""), "");
}

TEST(TextRulesScale, ManyDeletions) {
  // Four million deletions in 8 MiB; their time is measured in bench/.
  std::string text;
  for (int i = 0; i < 4 * 1024 * 1024; ++i) text += i % 2 ? "\x81\x40" : "<x";
  const std::string out = DeleteAll(text, "<");
  EXPECT_EQ(out.size(), text.size() - 2 * 1024 * 1024);
}

TEST(TextRulesScale, DenseLineBreaksBehindLeadBytes) {
  // Every other line break hides behind a lone lead byte and stays.
  std::string text;
  for (int i = 0; i < 1024 * 1024; ++i) text += i % 2 ? "\x81\n" : "\r\n";
  const std::string out = DeleteLineBreaks(text);
  EXPECT_EQ(out.size(), text.size() / 2);
  EXPECT_EQ(out.substr(0, 6), "\x81\n\x81\n\x81\n");
}

}  // namespace
}  // namespace quillo::text
