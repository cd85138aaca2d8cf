#include "platform/browser/MozLz4.h"

#include <lz4.h>

#include <climits>
#include <cstdint>

#include "base/Error.h"

namespace quillo::browser {
namespace {

constexpr std::string_view kMagic{"mozLz40\0", 8};
constexpr std::size_t kHeaderSize = kMagic.size() + 4;

}  // namespace

std::string DecodeMozLz4(std::string_view file) {
  if (file.size() < kHeaderSize || file.substr(0, kMagic.size()) != kMagic) {
    throw Error("not a mozLz4 file (bad magic)");
  }
  std::uint32_t declared = 0;
  for (int i = 3; i >= 0; --i) {
    declared = (declared << 8) | static_cast<unsigned char>(file[kMagic.size() + i]);
  }
  if (declared > kMaxMozLz4Content) throw Error("declared content size too large");
  const std::string_view block = file.substr(kHeaderSize);
  if (block.size() > static_cast<std::size_t>(INT_MAX)) throw Error("compressed data too large");
  // An LZ4 block grows at most 255-fold (one match-length byte adds 255), so
  // a few broken bytes cannot make the content buffer claim the whole cap.
  if (declared / 255 > block.size())
    throw Error("declared content size beyond what the data holds");

  std::string content(declared, '\0');
  // The safe decoder never writes past the declared size and never reads past
  // the block, whatever the block holds.
  const int produced = LZ4_decompress_safe(
      block.data(), content.data(), static_cast<int>(block.size()), static_cast<int>(declared));
  if (produced < 0) throw Error("corrupt LZ4 data or content larger than declared");
  if (static_cast<std::uint32_t>(produced) != declared) {
    throw Error("content size " + std::to_string(produced) + " differs from the declared " +
                std::to_string(declared));
  }
  return content;
}

}  // namespace quillo::browser
