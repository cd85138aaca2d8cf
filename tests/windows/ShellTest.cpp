// The program's Windows-only behaviour seen from outside, through quillo-probe
// started as a process of its own: the title from the executable's name, the
// shell's window list over COM, and opening an address through the shell.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Process.h"

namespace quillo {
namespace {

using testing::OwnDirectory;
using testing::ProcessResult;
using testing::Quoted;
using testing::RunProcess;

std::wstring Probe() { return OwnDirectory() + L"\\quillo-probe.exe"; }

ProcessResult RunProbe(const std::wstring& program, const std::wstring& arguments) {
  return RunProcess(Quoted(program) + L" " + arguments);
}

// The first line of a program's output, without its line end.
std::string FirstLine(const std::string& output) {
  return output.substr(0, output.find_first_of("\r\n"));
}

// A folder of its own under the system's temporary folder, removed with
// what was put in it.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    static int serial = 0;
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"quillo-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TemporaryFolder() {
    for (const auto& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(path_.c_str());
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  std::wstring file(const std::wstring& name) {
    files_.push_back(path_ + L"\\" + name);
    return files_.back();
  }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

TEST(ApplicationTitle, ComesFromTheExecutablesOwnFileName) {
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"QUILLO.EXE", "Quillo"},
      {L"quillo.exe", "quillo"},
      {L"QUILLO.Old.EXE", "Quillo"},
  };
  for (const auto& [name, title] : cases) {
    // A folder per name: the file system may ignore letter case.
    TemporaryFolder folder;
    const std::wstring copy = folder.file(name);
    ASSERT_TRUE(CopyFileW(Probe().c_str(), copy.c_str(), FALSE));
    const ProcessResult result = RunProbe(copy, L"title");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(FirstLine(result.output), title);
  }
}

// Whatever windows the shell lists, the call sequence runs to its end and
// gives an address with the prefix, nothing, or an error with a message.
void ExpectDefinedAnswer(const std::string& prefix) {
  const ProcessResult result =
      RunProbe(Probe(), L"browser-url " + Quoted(std::wstring(prefix.begin(), prefix.end())));
  ASSERT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u) << result.output;
  const std::string answer = FirstLine(result.output);
  std::cout << "GetBrowserUrl(\"" << prefix << "\"): " << answer << "\n";
  if (answer.rfind("address: ", 0) == 0) {
    const std::string address = answer.substr(9);
    const std::string wanted = prefix.empty() ? "http:" : prefix;
    ASSERT_GE(address.size(), wanted.size());
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, address.data(),
                             static_cast<int>(wanted.size()), wanted.data(),
                             static_cast<int>(wanted.size())),
              CSTR_EQUAL)
        << answer;
  } else if (answer.rfind("error: ", 0) == 0) {
    EXPECT_GT(answer.size(), 7u) << "an error without a message";
  } else {
    EXPECT_EQ(answer, "empty");
  }
}

TEST(Shell, GetBrowserUrlThroughTheShellsWindowList) {
  ExpectDefinedAnswer("http://listings.example/");
  ExpectDefinedAnswer("");
}

// Where the test run registered quillo-probe as the handler of http
// addresses (tests/windows/run-wine.sh does so in its Wine prefix), the shell
// must have started it with the address.
std::wstring HttpHandler() {
  wchar_t command[1024] = {};
  LONG size = sizeof command;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", command, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return command;
}

std::string WaitForRecord(const std::wstring& path, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  do {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    if (text.str().find('\n') != std::string::npos) return text.str();
    Sleep(50);
  } while (GetTickCount64() < deadline);
  return {};
}

TEST(Shell, LaunchTargetOpensTheAddressAndReportsNothing) {
  TemporaryFolder folder;
  const std::wstring record = folder.file(L"launched.txt");
  SetEnvironmentVariableW(L"QUILLO_LAUNCH_RECORD", record.c_str());
  const ProcessResult result = RunProbe(Probe(), L"launch http://listings.example/lite/");
  ASSERT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(FirstLine(result.output), "returned");
  if (HttpHandler().find(L"quillo-probe.exe") == std::wstring::npos) {
    GTEST_SKIP() << "quillo-probe is not the http handler here; only the return was checked";
  }
  EXPECT_EQ(FirstLine(WaitForRecord(record, 30000)), "http://listings.example/lite/");
}

TEST(Shell, LaunchTargetThatNothingCanOpenReportsNothing) {
  const ProcessResult result = RunProbe(Probe(), L"launch C:\\no\\such\\folder\\file.quillo");
  ASSERT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(FirstLine(result.output), "returned");
}

}  // namespace
}  // namespace quillo
