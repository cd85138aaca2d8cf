// Code page 932 on Windows: the conversions name it explicitly, so they hold
// whatever the system's ANSI code page is; the system's message texts come in
// that ANSI code page and must reach the program as CP932.

#include <winsock2.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>

#include "base/Error.h"
#include "core/Texts.h"
#include "platform/Codepage.h"
#include "platform/Sockets.h"

namespace quillo {
namespace {

std::u16string Wide(std::string_view cp932) {
  std::u16string out(cp932.size(), u'\0');
  const int length =
      MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data(), static_cast<int>(cp932.size()),
                          reinterpret_cast<wchar_t*>(out.data()), static_cast<int>(out.size()));
  out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return out;
}

std::u16string SystemTextW(DWORD code) {
  wchar_t text[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, 1024, nullptr);
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

TEST(CodePage932, ProgramTextsAreCodePage932AsWindowsReadsIt) {
  const std::pair<std::string_view, std::u16string_view> cases[] = {
      {texts::kDownloadStart, u"ダウンロード開始"},
      {texts::kPageProgressFormat, u"%2dページ目 / 全%2dページ 処理開始"},
      {texts::kDownloadDone, u"ダウンロード完了"},
      {texts::kRowSuffix, u"行"},
      {texts::kPageSuffix, u"ページ"},
      {texts::kIdeographicSpace, u"\u3000"},
      {texts::kLiteCaption, u"ライト版"},
      {texts::kBrowserUrlCaption, u"IEからURLを取得"},
      {texts::kCsvDownloadCaption, u"CSVでダウンロード"},
      {texts::kOleErrorFormat, u"OLE エラー %.8x"},
  };
  for (const auto& [cp932, expected] : cases) {
    EXPECT_TRUE(Wide(cp932) == expected) << cp932::ToUtf8(cp932);
    EXPECT_TRUE(cp932::ToUtf16(cp932) == expected) << cp932::ToUtf8(cp932);
  }
}

TEST(CodePage932, RoundTripHoldsWhateverTheAnsiCodePage) {
  std::cout << "ANSI code page " << GetACP() << "\n";
  const std::string utf8 = "株式会社ソ表能 ｱｲｳ　〒100-0001 東京都千代田区";
  const std::string cp932 = cp932::FromUtf8(utf8);
  EXPECT_EQ(cp932.find('?'), std::string::npos);
  EXPECT_EQ(cp932::ToUtf8(cp932), utf8);
  EXPECT_TRUE(cp932::ToUtf16(cp932) == Wide(cp932));
  EXPECT_EQ(cp932::FromUtf8("ソ"), "\x83\x5C");  // the second byte is a backslash
  EXPECT_EQ(cp932::FromUtf8("ｱ"), "\xB1");       // half-width katakana is one byte
  EXPECT_EQ(cp932::FromUtf16(u"～"), "\x81\x60");
}

TEST(CodePage932, BytesThatStartNoCharacterBecomeOneReplacementEach) {
  const std::pair<std::string_view, std::u16string_view> cases[] = {
      {"a\x81", u"a\uFFFD"},       // lone lead byte at the end
      {"\x85\x40z", u"\uFFFD@z"},  // a pair that code page 932 leaves unassigned
      {"\x81\x20", u"\uFFFD "},    // a lead byte before a byte that cannot follow it
      {"\x80\xA0\xFD\xFE\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\x83\x5C\x81\x40", u"ソ\u3000"},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_TRUE(cp932::ToUtf16(bytes) == expected) << cp932::ToUtf8(bytes);
  }
  EXPECT_EQ(cp932::ToUtf8("x\xFDy"), "x\xEF\xBF\xBDy");
}

TEST(CodePage932, WhatItCannotHoldBecomesOneQuestionMark) {
  EXPECT_EQ(cp932::FromUtf8("caf\xC3\xA9"), "caf?");                // no look-alike "e"
  EXPECT_EQ(cp932::FromUtf16(u"a\U0001F600b"), "a?b");              // one per character
  EXPECT_EQ(cp932::FromUtf16(std::u16string(u"a\xD800z")), "a?z");  // lone surrogate
  EXPECT_EQ(cp932::FromUtf16(u"\uD55C\u00E9"), "??");
}

// The socket layer fetches the system's text with FormatMessageA, in the ANSI
// code page; the program must get the same characters in CP932.
TEST(SystemText, ReachesTheProgramAsCodePage932) {
  net::SocketApi& api = net::SystemSockets();
  int compared = 0;
  for (const DWORD code : {DWORD{WSAECONNREFUSED}, DWORD{WSAECONNRESET}, DWORD{WSAETIMEDOUT},
                           DWORD{WSAEHOSTUNREACH}, DWORD{ERROR_FILE_NOT_FOUND}}) {
    const std::u16string wide = SystemTextW(code);
    if (wide.empty()) continue;  // the system has no text for every code
    ++compared;
    const std::string text = api.errorText(static_cast<int>(code));
    EXPECT_EQ(text, cp932::FromUtf16(wide)) << code;
    std::cout << code << ": " << cp932::ToUtf8(TrimMessageTail(text)) << "\n";
  }
  EXPECT_GE(compared, 3);
}

TEST(SystemText, CodeWithoutTextGivesEmpty) {
  const DWORD code = 0x2000FFFF;  // customer bit set: no system text
  ASSERT_TRUE(SystemTextW(code).empty());
  EXPECT_EQ(net::SystemSockets().errorText(static_cast<int>(code)), "");
}

// The text is fetched into a 256-byte area: one that needs more (its
// terminating zero included) is not fetched at all.
TEST(SystemText, TextLongerThanTheAreaIsNotFetched) {
  int longOne = -1;
  int fitting = -1;
  for (DWORD code = 1; code < 16000 && (longOne < 0 || fitting < 0); ++code) {
    char text[4096];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    if (length >= 256 && longOne < 0) longOne = static_cast<int>(code);
    if (length > 200 && length < 255 && fitting < 0) fitting = static_cast<int>(code);
  }
  if (fitting >= 0) {
    EXPECT_NE(net::SystemSockets().errorText(fitting), "") << fitting;
  }
  if (longOne < 0) GTEST_SKIP() << "no system text of 256 bytes or more below code 16000";
  EXPECT_EQ(net::SystemSockets().errorText(longOne), "") << longOne;
}

}  // namespace
}  // namespace quillo
