#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillo
