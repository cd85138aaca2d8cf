#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "core/BrowserUrl.h"
#include "core/SiteRoot.h"
#include "core/Texts.h"
#include "support/FakeShell.h"

namespace quillo {
namespace {

using shell::CallResult;
using shell::testing::FakeShell;
using shell::testing::FakeWindow;

constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80070005u);
constexpr std::int32_t kClassNotRegistered = static_cast<std::int32_t>(0x80040154u);

const std::string kPrefix = std::string(kSiteRoot) + "/";

std::u16string Site(std::u16string_view path) {
  std::u16string url(kSiteRoot.begin(), kSiteRoot.end());  // ASCII
  return url + u"/" + std::u16string(path);
}

std::string SiteCp932(std::string_view path) { return kPrefix + std::string(path); }

std::u16string Upper(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

struct MatchCase {
  const char* name;
  std::string prefix;
  std::vector<FakeWindow> windows;
  std::string expected;
};

class GetBrowserUrlMatch : public testing::TestWithParam<MatchCase> {};

TEST_P(GetBrowserUrlMatch, FindsTheFirstWindowWithThePrefix) {
  FakeShell shell;
  shell.windows = GetParam().windows;
  EXPECT_EQ(GetBrowserUrl(shell, {GetParam().prefix}), GetParam().expected);
  EXPECT_EQ(shell.liveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GetBrowserUrlMatch,
    testing::Values(MatchCase{"NoWindowOpen", kPrefix, {}, ""},
                    MatchCase{"FirstOfTwoSitePagesWins",
                              kPrefix,
                              {FakeWindow::Browser(u"http://other.example/"),
                               FakeWindow::Browser(Site(u"lite/list?p=1")),
                               FakeWindow::Browser(Site(u"lite/list?p=2"))},
                              SiteCp932("lite/list?p=1")},
                    MatchCase{"CapitalLettersMatch",
                              kPrefix,
                              {FakeWindow::Browser(u"http://other.example/"),
                               FakeWindow::Browser(Upper(Site(u"lite/")))},
                              UpperAscii(SiteCp932("lite/"))},
                    MatchCase{"OtherSitesPassedOver",
                              kPrefix,
                              {FakeWindow::Browser(u"http://other.example/"),
                               FakeWindow::Browser(u"https://" + Site(u"").substr(7)),
                               FakeWindow::Browser(u"about:blank")},
                              ""},
                    MatchCase{"AddressShorterThanThePrefix",
                              kPrefix,
                              {FakeWindow::Browser(Site(u"").substr(0, kPrefix.size() - 1))},
                              ""},
                    MatchCase{"EmptyPrefixMeansHttp",
                              "",
                              {FakeWindow::Browser(u"file:///C:/Users/"),
                               FakeWindow::Browser(u"https://secure.example/"),
                               FakeWindow::Browser(u"HTTP://any.example/")},
                              "HTTP://any.example/"},
                    MatchCase{"ClosedWindowPassedOver",
                              kPrefix,
                              {FakeWindow::Closed(), FakeWindow::Browser(Site(u"a"))},
                              SiteCp932("a")},
                    MatchCase{"MatchBeforeAWindowWithoutBrowser",
                              kPrefix,
                              {FakeWindow::Browser(Site(u"a")), FakeWindow::WithoutBrowser()},
                              SiteCp932("a")},
                    // é is not in CP932; あ is 82 A0.
                    MatchCase{"AddressConvertedToCp932",
                              kPrefix,
                              {FakeWindow::Browser(Site(u"caf\u00E9/\u3042"))},
                              SiteCp932("caf?/\x82\xA0")}),
    [](const testing::TestParamInfo<MatchCase>& row) { return row.param.name; });

TEST(GetBrowserUrl, StopsAtTheFirstMatchInListOrder) {
  FakeShell shell;
  shell.windows = {FakeWindow::Browser(u"http://other.example/"), FakeWindow::Closed(),
                   FakeWindow::Browser(Site(u"1")), FakeWindow::Browser(Site(u"2"))};
  EXPECT_EQ(GetBrowserUrl(shell, {kPrefix}), SiteCp932("1"));
  EXPECT_EQ(shell.calls,
            (std::vector<std::string>{"create", "count", "item 0", "browser 0", "url 0", "item 1",
                                      "item 2", "browser 2", "url 2"}));
}

TEST(GetBrowserUrl, FalseCountsAsSuccess) {
  FakeShell shell;
  shell.windows = {FakeWindow::Browser(Site(u"a"))};
  shell.countResult = {shell::kFalse, "ignored"};
  shell.windows[0].urlResult = {shell::kFalse, {}};
  EXPECT_EQ(GetBrowserUrl(shell, {kPrefix}), SiteCp932("a"));
}

// The lists in order, each made only when the earlier ones had no match; a
// broken list does not hide a match in a later one.
struct ListsCase {
  const char* name;
  std::function<void(FakeShell&)> arrange;
  std::string address;  // or, when empty, the message raised
  std::string message;
  std::ptrdiff_t made;  // lists created
};

class GetBrowserUrlLists : public testing::TestWithParam<ListsCase> {};

TEST_P(GetBrowserUrlLists, FindsTheFirstMatchOrRaisesTheFirstFailure) {
  FakeShell shell;
  shell.windows = {FakeWindow::Browser(u"http://other.example/")};
  shell.laterLists.resize(2);
  shell.laterLists[0].windows = {FakeWindow::Browser(u"about:blank")};
  GetParam().arrange(shell);
  std::string address, message;
  try {
    address = GetBrowserUrl(shell, {kPrefix});
  } catch (const Error& e) {
    message = e.message();
  }
  EXPECT_EQ(address, GetParam().address);
  EXPECT_EQ(message, GetParam().message);
  EXPECT_EQ(std::count_if(shell.calls.begin(), shell.calls.end(),
                          [](const std::string& call) { return call.ends_with("create"); }),
            GetParam().made);
  EXPECT_EQ(shell.liveObjects(), 0);
}

// How each row arranges the windows beyond the first list's non-matching one
// and the second list's blank tab.
void MatchInTheFirst(FakeShell& s) { s.windows.push_back(FakeWindow::Browser(Site(u"a"))); }
void WindowWithoutBrowserFirst(FakeShell& s) {
  s.windows = {FakeWindow::WithoutBrowser(), FakeWindow::Browser(Site(u"a"))};
  s.laterLists[1].windows = {FakeWindow::Browser(Site(u"tab"))};
}
void CreationFails(FakeShell& s) {
  s.createResult = {kClassNotRegistered, "no class"};
  s.laterLists[0].windows = {FakeWindow::Browser(Site(u"tab"))};
}
void FirstAndLastFail(FakeShell& s) {
  s.windows[0].itemResult = {shell::kFail, "shell broken"};
  s.laterLists[1].countResult = {shell::kFail, "sessions unreadable"};
}
void LastFails(FakeShell& s) {
  s.laterLists[0].countResult = {shell::kFail, "sessions unreadable"};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GetBrowserUrlLists,
    testing::Values(
        ListsCase{"MatchInTheFirstLeavesTheOthersUnmade", MatchInTheFirst, SiteCp932("a"), "", 1},
        ListsCase{"WindowWithoutBrowserDoesNotHideALaterList", WindowWithoutBrowserFirst,
                  SiteCp932("tab"), "", 3},
        ListsCase{"FailedCreationDoesNotHideALaterList", CreationFails, SiteCp932("tab"), "", 2},
        ListsCase{"FirstFailureWhenNoListMatches", FirstAndLastFail, "", "shell broken", 3},
        ListsCase{"FailureOfALaterListWhenTheFirstHasNoMatch", LastFails, "", "sessions unreadable",
                  3}),
    [](const testing::TestParamInfo<ListsCase>& row) { return row.param.name; });

struct FailureCase {
  const char* name;
  std::function<void(FakeShell&)> arrange;
  std::string message;
};

class GetBrowserUrlFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(GetBrowserUrlFailure, RaisesTheChosenMessageAndReleasesEverything) {
  FakeShell shell;
  shell.windows = {FakeWindow::Browser(u"http://other.example/"),
                   FakeWindow::Browser(u"http://other.example/2"), FakeWindow::Browser(Site(u"a"))};
  GetParam().arrange(shell);
  try {
    GetBrowserUrl(shell, {kPrefix});
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.message(), GetParam().message);
  }
  EXPECT_EQ(shell.liveObjects(), 0);
}

std::string OleError(std::string_view hex) {
  return std::string(texts::kOleErrorFormat.substr(0, texts::kOleErrorFormat.size() - 4)) +
         std::string(hex);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GetBrowserUrlFailure,
    testing::Values(
        FailureCase{"DescriptionTrimmed",
                    [](FakeShell& s) {
                      s.windows[1].urlResult = {kAccessDenied, "Zugriff verweigert. .\r\n"};
                      s.systemMessages[kAccessDenied] = "Access is denied.";
                    },
                    "Zugriff verweigert"},
        FailureCase{"Cp932DescriptionKeptWhole",
                    [](FakeShell& s) {
                      // The last byte of ソ (83 5C) is not a space or full stop.
                      s.windows[1].itemResult = {shell::kFail, "\x83\x5C\x81\x42\x83\x5C"};
                    },
                    "\x83\x5C\x81\x42\x83\x5C"},
        FailureCase{"SystemTextWhenNoDescription",
                    [](FakeShell& s) {
                      s.countResult = {kAccessDenied, {}};
                      s.systemMessages[kAccessDenied] = "Access is denied.\r\n";
                    },
                    "Access is denied"},
        FailureCase{"SystemTextWhenDescriptionIsOnlyDots",
                    [](FakeShell& s) {
                      s.windows[0].itemResult = {kAccessDenied, " ...\t"};
                      s.systemMessages[kAccessDenied] = "Access is denied.";
                    },
                    "Access is denied"},
        FailureCase{"OleErrorWhenNeitherHasText",
                    [](FakeShell& s) {
                      s.windows[2].urlResult = {shell::kFail, {}};
                      s.systemMessages[shell::kFail] = " \r\n";
                    },
                    OleError("80004005")},
        FailureCase{"CreationFailedWithSystemText",
                    [](FakeShell& s) {
                      s.createResult = {kClassNotRegistered, {}};
                      s.systemMessages[kClassNotRegistered] = "Class not registered\r\n";
                    },
                    "Class not registered"},
        FailureCase{"CreationFailedWithoutText",
                    [](FakeShell& s) { s.createResult.code = kClassNotRegistered; },
                    OleError("80040154")},
        FailureCase{"ListLacksItsInterface", [](FakeShell& s) { s.lacksListInterface = true; },
                    "Interface not supported"},
        FailureCase{"WindowWithoutBrowserBeforeTheMatch",
                    [](FakeShell& s) { s.windows[1] = FakeWindow::WithoutBrowser(); },
                    "Interface not supported"}),
    [](const testing::TestParamInfo<FailureCase>& row) { return row.param.name; });

}  // namespace
}  // namespace quillo
