#include "platform/browser/MozLz4.h"

#include <gtest/gtest.h>

#include "SessionFixtures.h"
#include "base/Error.h"

namespace quillo::browser {
namespace {

using testing::MozLz4;

TEST(MozLz4Test, RoundTripsContent) {
  std::string large;
  for (int i = 0; i < 20000; ++i)
    large += "{\"url\":\"http://listings.example/" + std::to_string(i) + "\"}";
  for (const std::string& content : {std::string("{}"), std::string("\xe6\x97\xa5\0x", 5), large}) {
    EXPECT_EQ(DecodeMozLz4(MozLz4(content)), content);
  }
}

struct BrokenCase {
  const char* name;
  std::string file;
  const char* expected;  // part of the message
};

std::string WithDeclaredSize(std::string file, std::uint32_t size) {
  for (int i = 0; i < 4; ++i) file[8 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  return file;
}

// A file of one hand-made block: token, literals, offset (little-endian).
std::string Block(std::uint32_t declared, std::string_view block) {
  return WithDeclaredSize(std::string("mozLz40\0\0\0\0\0", 12), declared) + std::string(block);
}

class MozLz4BrokenTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(MozLz4BrokenTest, IsRefusedWithReason) {
  try {
    DecodeMozLz4(GetParam().file);
    FAIL() << "decoded a broken file";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().expected), std::string::npos) << e.what();
  }
}

const std::string kGood = MozLz4("{\"windows\":[{\"tabs\":[]},{\"tabs\":[]}]}");

INSTANTIATE_TEST_SUITE_P(
    Cases, MozLz4BrokenTest,
    ::testing::Values(
        BrokenCase{"Empty", "", "bad magic"},
        BrokenCase{"HeaderOnlyHalf", std::string("mozLz40\0\x02", 9), "bad magic"},
        BrokenCase{"WrongMagic", "mozLz41" + kGood.substr(7), "bad magic"},
        BrokenCase{"PlainJson", "{\"windows\":[]}", "bad magic"},
        BrokenCase{"DeclaredTooSmall", WithDeclaredSize(kGood, 10), "larger than declared"},
        BrokenCase{"DeclaredTooLarge",
                   WithDeclaredSize(kGood, static_cast<std::uint32_t>(kGood.size() + 100)),
                   "differs from the declared"},
        BrokenCase{"DeclaredBeyondCap", WithDeclaredSize(kGood, 0xFFFFFFF0u), "too large"},
        BrokenCase{"DeclaredBeyondBlock",
                   WithDeclaredSize(kGood, static_cast<std::uint32_t>(kGood.size() * 255)),
                   "beyond what the data holds"},
        BrokenCase{"TruncatedBlock", kGood.substr(0, kGood.size() - 5), "LZ4"},
        // The decoder's bounds, each by a single sequence.
        BrokenCase{"OffsetBeforeTheStart",
                   Block(8, std::string_view("\x10"
                                             "a\x02\x00",
                                             4)),
                   "before the start"},
        BrokenCase{"MatchPastTheEnd",
                   Block(4, std::string_view("\x10"
                                             "a\x01\x00",
                                             4)),
                   "larger than declared"},
        BrokenCase{"LiteralsPastTheEnd",
                   Block(2,
                         "\x30"
                         "abc"),
                   "larger than declared"},
        BrokenCase{"GarbageBlock", std::string("mozLz40\0\x10\0\0\0\xff\xff\xff\xff", 16), "LZ4"}),
    [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace quillo::browser
