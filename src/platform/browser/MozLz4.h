#pragma once

// Mozilla's compressed JSON files (.jsonlz4, .baklz4, .mozlz4): the magic
// "mozLz40\0", the decompressed size as a 32-bit little-endian number, then
// one raw LZ4 block.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillo::browser {

// Larger sessions are refused rather than decompressed.
inline constexpr std::size_t kMaxMozLz4Content = std::size_t{256} << 20;

// What DecodeMozLz4 says of a back reference with offset 0.
inline constexpr std::string_view kZeroOffset = "corrupt LZ4 data (offset 0)";

// The decompressed content. Throws quillo::Error saying what was wrong (the
// caller adds the file name).
std::string DecodeMozLz4(std::string_view file);

}  // namespace quillo::browser
