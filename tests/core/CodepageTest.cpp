#include <gtest/gtest.h>

#include "platform/Codepage.h"

namespace quillo::cp932 {
namespace {

TEST(Codepage, RoundTripsJapaneseText) {
  const std::string utf8 = "ソ表能ｱｲｳ全角　スペース";
  EXPECT_EQ(ToUtf8(FromUtf8(utf8)), utf8);
  EXPECT_EQ(FromUtf8("\xE3\x82\xBD"), "\x83\x5C");  // ソ
  EXPECT_EQ(ToUtf16("\x83\x5C"), u"ソ");
}

TEST(Codepage, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(FromUtf8("a\xF0\x9F\x98\x80"
                     "b"),
            "a?b");  // an emoji
  EXPECT_EQ(FromUtf8("\xED\x95\x9C"
                     "x"),
            "?x");                                      // Hangul
  EXPECT_EQ(FromUtf16(u"a\U0001F600b\uD55C"), "a?b?");  // one "?" per character
}

TEST(Codepage, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(ToUtf8("a\x81"), "a\xEF\xBF\xBD");  // lone lead byte at the end
  EXPECT_EQ(ToUtf8("\xFD"
                   "b"),
            "\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(FromUtf8("\xC3(x"), "?(x");  // broken UTF-8
}

}  // namespace
}  // namespace quillo::cp932
