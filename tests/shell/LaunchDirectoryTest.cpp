#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/Launch.h"

namespace quillo {
namespace {

using namespace std::string_literals;

struct DirectoryCase {
  const char* name;
  std::string target;
  std::string directory;
};

class LaunchDirectoryTest : public testing::TestWithParam<DirectoryCase> {};

TEST_P(LaunchDirectoryTest, UpToTheLastBackslashOrColon) {
  EXPECT_EQ(LaunchDirectory(GetParam().target), GetParam().directory);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaunchDirectoryTest,
    testing::Values(DirectoryCase{"WebAddress", "http://listings.example/lite/", "http:"},
                    DirectoryCase{"PortColonIsLater", "http://host:8080/a", "http://host:"},
                    DirectoryCase{"WindowsPath", "C:\\dir\\sub\\file.txt", "C:\\dir\\sub\\"},
                    DirectoryCase{"UncPath", "\\\\server\\share", "\\\\server\\"},
                    DirectoryCase{"BareName", "file.txt", ""}, DirectoryCase{"Empty", "", ""},
                    // 表 is 95 5C: its second byte is no backslash.
                    DirectoryCase{"SecondByteIsNotABackslash", "C:\\dir\\\x95\x5C", "C:\\dir\\"},
                    DirectoryCase{"SecondByteAfterEvenLeadRun", "a\\\x81\x81\x95\x5C\\b",
                                  "a\\\x81\x81\x95\x5C\\"},
                    DirectoryCase{"BackslashAfterALeadByte", "\x81\\file", ""},
                    DirectoryCase{"StopsAtZeroByte", "a:b\0c:d"s, "a:"}),
    [](const testing::TestParamInfo<DirectoryCase>& row) { return row.param.name; });

// The launcher gets the target, the parameters and the target's directory;
// whatever it raises stays inside LaunchTarget.
TEST(LaunchTarget, HandsTheDirectoryOnAndSwallowsFailures) {
  struct Recorder final : Launcher {
    std::string seen;
    bool raise = false;
    void open(std::string_view target, std::string_view parameters,
              std::string_view directory) override {
      seen = std::string(target) + "|" + std::string(parameters) + "|" + std::string(directory);
      if (raise) throw std::runtime_error("no opener");
    }
  } launcher;
  LaunchTarget(launcher, "http://listings.example/lite/", "");
  EXPECT_EQ(launcher.seen, "http://listings.example/lite/||http:");
  launcher.raise = true;
  EXPECT_NO_THROW(LaunchTarget(launcher, "C:\\a\\b", "-x"));
  EXPECT_EQ(launcher.seen, "C:\\a\\b|-x|C:\\a\\");
}

}  // namespace
}  // namespace quillo
