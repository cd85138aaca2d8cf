// Writes the session fuzz targets' seeds into the corpus folder given as the
// argument, from the browser tests' fixture builders. Run it again after
// changing a case; the files it writes are committed.
//   quillo_session_seeds fuzz/corpus

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "SessionFixtures.h"

namespace {

using namespace quillo::browser::testing;

std::filesystem::path corpus;

void Write(const char* target, const char* name, std::string_view bytes) {
  const std::filesystem::path folder = corpus / target;
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void FirefoxSessions() {
  const std::string twoWindows =
      FirefoxSessionJson({{"http://listings.example/servlet/result1.html", "http://other.example/"},
                          {"http://x/\xe6\xa4\x9c"}});
  const std::string history = R"({"windows":[{"tabs":[
      {"entries":[{"url":"old"},{"url":"now","children":[{"url":"frame"}]},{"url":"fwd"}],
       "index":2},{"entries":[{"url":"a"},{"url":"b"}],"index":-7},{"entries":[]},"tab"],
      "_closedTabs":[{"state":{"entries":[{"url":"closed tab"}]}}]}],
      "_closedWindows":[{"tabs":[{"entries":[{"url":"closed"}],"index":1}]}],
      "lastSessionState":{"windows":[{"tabs":[{"entries":[{"url":"last"}]}]}]}})";
  Write("firefox_session", "two-windows.jsonlz4", MozLz4(twoWindows));
  Write("firefox_session", "history.jsonlz4", MozLz4(history));
  Write("firefox_session", "two-windows.json", twoWindows);
  Write("firefox_session", "history.json", history);
}

void SnssSessions() {
  Write("snss_session", "windows-and-tabs",
        SnssWriter()
            .tab(9, 1, 1, "http://listings.example/")
            .tab(9, 2, 0, "b")
            .tab(3, 3, 0, "c")
            .bytes());
  Write("snss_session", "history-pruned",
        SnssWriter()
            .setTabWindow(1, 5)
            .navigation(5, 0, "a")
            .navigation(5, 1, "b")
            .navigation(5, 2, "c")
            .selectNavigation(5, 2)
            .pruned(5, 0, 1)
            .bytes());
  Write("snss_session", "closed",
        SnssWriter()
            .tab(1, 1, 0, "gone")
            .tab(2, 2, 0, "kept")
            .tab(3, 3, 0, "window gone")
            .tabClosed(1)
            .windowClosed(3)
            .bytes());
  Write("snss_session", "version-1-truncated",
        SnssWriter(1).tab(1, 1, 0, "kept").record(6, std::string(40, 'x')).dropLast(10).bytes());
}

void ChromiumLocalStates() {
  Write("chromium_local_state", "profiles",
        R"({"profile":{"info_cache":{"Profile 2":{"name":"Work"},"Default":{"name":"Me"},
            "../escape":{},"":{}},"last_active_profiles":["Profile 2"]},
            "other":{"info_cache":{"Nope":{}}}})");
  Write("chromium_local_state", "none-listed", R"({"profile":{"info_cache":{}}})");
}

void FirefoxProfilesInis() {
  Write("firefox_profiles_ini", "install-default",
        "[General]\nStartWithLastProfile=1\nVersion=2\n\n"
        "[Profile1]\nName=second\nIsRelative=1\nPath=Profiles/two\n\n"
        "[Profile0]\nName=first\nIsRelative=1\nPath=Profiles/one\nDefault=1\n\n"
        "[Install4F96D1932A9F858E]\nDefault=Profiles/two\nLocked=1\n");
  Write("firefox_profiles_ini", "absolute-crlf",
        "[Profile0]\r\nIsRelative=0\r\nPath=/elsewhere/profile\r\n"
        "; note\r\n[Profile1]\r\nIsRelative=1\r\nPath = ./own \r\n[Profile1x]\r\nPath=no\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  corpus = argv[1];
  FirefoxSessions();
  SnssSessions();
  ChromiumLocalStates();
  FirefoxProfilesInis();
  return 0;
}
