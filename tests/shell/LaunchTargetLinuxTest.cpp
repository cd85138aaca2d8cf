#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Launch.h"
#include "platform/Codepage.h"
#include "platform/Info.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Stands in for xdg-open: writes its process id, its three standard streams
// and then its arguments, one a line, to $QUILLO_RECORD (renamed into place
// so that a reader never sees half of it). With QUILLO_HANG set it then
// waits, as an opener may until the browser ends.
constexpr const char* kRecorder = R"sh(#!/bin/sh
streams="$(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/1) $(readlink /proc/$$/fd/2)"
{
  echo $$
  echo "$streams"
  for argument in "$@"; do printf '%s\n' "$argument"; done
} > "$QUILLO_RECORD.part"
mv "$QUILLO_RECORD.part" "$QUILLO_RECORD"
if [ -n "$QUILLO_HANG" ]; then exec sleep 60; fi
)sh";

struct Record {
  long pid = 0;
  std::string streams;
  std::vector<std::string> arguments;
};

class LaunchTargetTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillo-launch-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directory(dir_ / "bin");
    record_ = dir_ / "record";
    const char* path = std::getenv("PATH");
    savedPath_ = path != nullptr ? path : "/usr/bin:/bin";
    ::setenv("QUILLO_RECORD", record_.c_str(), 1);
  }

  void TearDown() override {
    ::setenv("PATH", savedPath_.c_str(), 1);
    ::unsetenv("QUILLO_RECORD");
    ::unsetenv("QUILLO_HANG");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // The recorder first on PATH, the system's tools behind it.
  void InstallRecorder() {
    const fs::path opener = dir_ / "bin" / "xdg-open";
    std::ofstream(opener) << kRecorder;
    fs::permissions(opener, fs::perms::owner_all);
    ::setenv("PATH", ((dir_ / "bin").string() + ":" + savedPath_).c_str(), 1);
  }

  std::optional<Record> WaitForRecord() {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!fs::exists(record_)) {
      if (Clock::now() > deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Record record;
    std::ifstream in(record_);
    std::string line;
    std::getline(in, line);
    record.pid = std::stol(line);
    std::getline(in, record.streams);
    while (std::getline(in, line)) record.arguments.push_back(line);
    return record;
  }

  // The launch reaped its own child and the opener is not ours to reap.
  static void ExpectNoChildLeft() {
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }

  fs::path dir_;
  fs::path record_;
  std::string savedPath_;
};

TEST_F(LaunchTargetTest, PassesTheAddressAsOneArgumentWithoutAShell) {
  InstallRecorder();
  const std::string marker = (dir_ / "marker").string();
  const std::string utf8 = "http://listings.example/検索 結果?q=\"a b\"&x='y'; touch " + marker +
                           " $(touch " + marker + ") `touch " + marker + "` | >" + marker;
  LaunchTarget(SystemLauncher(), cp932::FromUtf8(utf8), "--ignored parameters");

  const std::optional<Record> record = WaitForRecord();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->arguments, std::vector<std::string>{utf8});
  EXPECT_EQ(record->streams, "/dev/null /dev/null /dev/null");
  EXPECT_FALSE(fs::exists(marker));
  ExpectNoChildLeft();
}

TEST_F(LaunchTargetTest, DoesNotWaitForTheOpener) {
  InstallRecorder();
  ::setenv("QUILLO_HANG", "1", 1);
  const auto start = Clock::now();
  LaunchTarget(SystemLauncher(), "http://listings.example/lite/", "");
  const auto took = Clock::now() - start;

  const std::optional<Record> record = WaitForRecord();
  ASSERT_TRUE(record);
  ::kill(static_cast<pid_t>(record->pid), SIGKILL);
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(record->arguments, std::vector<std::string>{"http://listings.example/lite/"});
  ExpectNoChildLeft();
}

TEST_F(LaunchTargetTest, MissingOpenerIsNoFailure) {
  ::setenv("PATH", (dir_ / "bin").c_str(), 1);  // an empty folder
  const auto start = Clock::now();
  EXPECT_NO_THROW(LaunchTarget(SystemLauncher(), "http://listings.example/lite/", ""));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  ExpectNoChildLeft();
}

}  // namespace
}  // namespace quillo
