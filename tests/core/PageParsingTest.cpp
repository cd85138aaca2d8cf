#include <gtest/gtest.h>

#include "core/PageParsing.h"
#include "core/SiteRoot.h"
#include "core/Texts.h"
#include "support/Pages.h"

namespace quillo {
namespace {

using testing::Anchor;
using testing::Entry;

std::vector<std::string> Links(std::string_view text) {
  PageLinkList links;
  ExtractPageLinks(text, links);
  return links;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  ExtractEntries(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

std::string Root(std::string_view path) { return std::string(kSiteRoot) + std::string(path); }

const std::string kPage = std::string(texts::kPageSuffix);
const std::string kRow = std::string(texts::kRowSuffix);

TEST(ExtractPageLinks, CollectsFurtherPagesInPageOrderWithDuplicates) {
  const std::string page = "<p>" + Anchor("/servlet/list?p=2", "2") + " | " +
                           Anchor("/servlet/list?p=3", "3") + Anchor("/servlet/list?p=2", "2") +
                           Anchor("/other/x", "4") + "<A HREF=\"/servlet/upper\">5</A>";
  EXPECT_EQ(Links(page),
            (std::vector<std::string>{Root("/servlet/list?p=2"), Root("/servlet/list?p=3"),
                                      Root("/servlet/list?p=2")}));
}

TEST(ExtractPageLinks, SkipsNextPageAndRowsAnchors) {
  const std::string page = Anchor("/servlet/a", "\x8E\x9F\x82\xCC" + kPage) +  // 次のページ
                           Anchor("/servlet/b", "50" + kRow) + Anchor("/servlet/c", "3");
  EXPECT_EQ(Links(page), std::vector<std::string>{Root("/servlet/c")});
}

TEST(ExtractPageLinks, SuffixOnASecondByteDoesNotMatch) {
  // 0x81 0x8D 0x73: the suffix bytes 8D 73 would begin on the second byte
  // of the character 0x81 0x8D, so this anchor is a page link.
  const std::string page = Anchor("/servlet/a", "\x81\x8D\x73");
  EXPECT_EQ(Links(page), std::vector<std::string>{Root("/servlet/a")});
}

TEST(ExtractPageLinks, UnclosedHrefGivesTheSiteRootAlone) {
  EXPECT_EQ(Links("<a href=\"/servlet/x>7</a>"), std::vector<std::string>{Root("")});
}

TEST(ExtractPageLinks, StopsWithoutClosingTagOrBehindAZeroByte) {
  EXPECT_TRUE(Links("").empty());
  EXPECT_TRUE(Links("<a href=\"/servlet/x\">2").empty());
  const std::string hidden = std::string("x\0", 2) + Anchor("/servlet/x", "2");
  EXPECT_TRUE(Links(hidden).empty());
  // A closing tag behind the zero byte is not seen either.
  EXPECT_TRUE(Links(std::string("<a href=\"/servlet/x\">2\0</a>", 27)).empty());
}

TEST(ExtractPageLinks, MarkerOnASecondByteIsNotFound) {
  // 0x82 is a lead byte, so the "<" behind it is the second byte of a character.
  EXPECT_TRUE(Links("\x82" + Anchor("/servlet/x", "2")).empty());
  EXPECT_EQ(Links("\x82\x82" + Anchor("/servlet/x", "2")).size(), 1u);
}

TEST(ExtractEntries, OneLinePerEntryInPageOrderWithoutLineBreaks) {
  const std::string page =
      "head\r\n" + Entry("first\r\nentry") + "\r\n<p>\n" + Entry("second\r\r\n") + "tail";
  EXPECT_EQ(Lines(page), (std::vector<std::string>{"firstentry", "second"}));
}

TEST(ExtractEntries, DeletesTheEightFragmentsAndKeepsOtherMarkup) {
  const std::string body = "<A HREF=\"/servlet/detail?id=7\" TaRgEt=_BlAnK>Item</A>" +
                           std::string(markup::kEntryFragments[0]) + "<BR>price" +
                           std::string(markup::kSpacerCells) + "<IMG src=\"/images/zip.gif\">" +
                           "<FONT size=\"-1\">x</FONT> </a>" +
                           "<BR><A HREF=\"/guide/lite/sw9404.html\">guide</A>";
  EXPECT_EQ(Lines(Entry(body)),
            std::vector<std::string>{"<A HREF=\"/servlet/detail?id=7\">Item<BR>pricex </a>guide"});
}

TEST(ExtractEntries, FragmentOrderMatters) {
  // Fragment 1 holds "</A>" and the spacer starts with "</FONT>": deleting
  // those short fragments first would leave pieces of the long ones behind.
  const std::string body =
      "a" + std::string(markup::kEntryFragments[0]) + "b" + std::string(markup::kSpacerCells) + "c";
  EXPECT_EQ(Lines(Entry(body)), std::vector<std::string>{"abc"});
}

TEST(ExtractEntries, DeletionDoesNotRescanJoinedText) {
  EXPECT_EQ(Lines(Entry("</FO</FONT>NT>")), std::vector<std::string>{"</FONT>"});
}

TEST(ExtractEntries, EmptyAndFullyDeletedEntriesStillGiveALine) {
  EXPECT_EQ(Lines(Entry("") + Entry("</A></FONT>")), (std::vector<std::string>{"", ""}));
}

TEST(ExtractEntries, UnterminatedEntryAndMissingMarkersGiveNothing) {
  EXPECT_TRUE(Lines("").empty());
  EXPECT_TRUE(Lines(std::string(markup::kEntryStart) + "cut off").empty());
  EXPECT_EQ(Lines(Entry("one") + std::string(markup::kEntryStart) + "cut").size(), 1u);
  EXPECT_TRUE(Lines("<TABLE border=\"0\">x</TABLE>").empty());
}

TEST(ExtractEntries, ZeroByteHidesTheRestAndKeepsItsLineBreaks) {
  const std::string page = Entry("a") + std::string("\0", 1) + Entry("b");
  EXPECT_EQ(Lines(page), std::vector<std::string>{"a"});
  // An entry whose end lies behind the zero byte is cut off.
  EXPECT_TRUE(Lines(std::string(markup::kEntryStart) + std::string("x\0</TABLE>", 10)).empty());
}

TEST(ExtractEntries, MarkerBehindALoneLeadByteIsNotFound) {
  EXPECT_TRUE(Lines("\x88" + Entry("x")).empty());
  EXPECT_EQ(Lines("\x88\x9F" + Entry("x")), std::vector<std::string>{"x"});
}

TEST(ExtractEntries, DoubleByteTextSurvivesIntact) {
  // ソ (0x83 0x5C) and 表 (0x95 0x5C) end in a backslash byte; 能 (0x94 0x5C)
  // too. "\x83</A>" hides the tag behind a lead byte, so it stays.
  const std::string body = "\x83\x5C\x95\x5C\x94\x5C</A>\x83</A>";
  EXPECT_EQ(Lines(Entry(body)), std::vector<std::string>{"\x83\x5C\x95\x5C\x94\x5C\x83</A>"});
}

TEST(ExtractEntries, LineBreakOnASecondByteIsKept) {
  // Like every search, deleting LF and CR never starts on a second byte.
  EXPECT_EQ(Lines(Entry("a\x81\nb\r\nc")), std::vector<std::string>{"a\x81\nbc"});
}

TEST(Markup, FixedTextsHaveTheirLengths) {
  EXPECT_EQ(markup::kEntryStart.size(), 128u);
  EXPECT_EQ(markup::kSpacerCells.size(), 660u);
  EXPECT_NE(markup::kSpacerCells.find("\x81\x40"), std::string_view::npos);
  EXPECT_EQ(markup::kSpacerCells.substr(0, 7), "</FONT>");
}

}  // namespace
}  // namespace quillo
