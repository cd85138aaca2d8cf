#include "platform/browser/MozLz4.h"

#include <cstdint>

#include "base/Error.h"

namespace quillo::browser {
namespace {

constexpr std::string_view kMagic{"mozLz40\0", 8};
constexpr std::size_t kHeaderSize = kMagic.size() + 4;

// One LZ4 block (sequences of a token, literals and a back reference) into
// exactly size bytes. Every read is checked against the block and every
// write against size, whatever the block holds.
std::string DecodeLz4Block(std::string_view block, std::size_t size) {
  std::string out;
  out.reserve(size);
  std::size_t at = 0;
  const auto cutOff = [] { return Error("corrupt LZ4 data (cut off)"); };
  const auto tooLarge = [] { return Error("corrupt LZ4 data or content larger than declared"); };
  // A length nibble of 15 goes on in the following bytes, up to the first
  // one below 255.
  const auto length = [&](std::size_t nibble) {
    std::size_t total = nibble;
    if (nibble != 15) return total;
    for (;;) {
      if (at == block.size()) throw cutOff();
      const unsigned char more = static_cast<unsigned char>(block[at++]);
      total += more;
      if (more != 255) return total;
    }
  };
  for (;;) {
    if (at == block.size()) throw cutOff();
    const unsigned char token = static_cast<unsigned char>(block[at++]);
    const std::size_t literals = length(token >> 4);
    if (literals > block.size() - at) throw cutOff();
    if (literals > size - out.size()) throw tooLarge();
    out.append(block.substr(at, literals));
    at += literals;
    if (at == block.size()) break;  // the last sequence is literals only
    if (block.size() - at < 2) throw cutOff();
    const std::size_t offset = static_cast<unsigned char>(block[at]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(block[at + 1]))
                                   << 8;
    at += 2;
    // The format rules out offset 0 (liblz4 copies whatever its buffer held).
    if (offset == 0) throw Error(std::string(kZeroOffset));
    if (offset > out.size()) throw Error("corrupt LZ4 data (reference before the start)");
    const std::size_t match = length(token & 15u) + 4;
    if (match > size - out.size()) throw tooLarge();
    // Byte by byte: a reference may overlap what it produces.
    for (std::size_t i = 0; i < match; ++i) out.push_back(out[out.size() - offset]);
  }
  if (out.size() != size) {
    throw Error("content size " + std::to_string(out.size()) + " differs from the declared " +
                std::to_string(size));
  }
  return out;
}

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
  // An LZ4 block grows at most 255-fold (one match-length byte adds 255), so
  // a few broken bytes cannot make the content buffer claim the whole cap.
  if (declared / 255 > block.size())
    throw Error("declared content size beyond what the data holds");
  return DecodeLz4Block(block, declared);
}

}  // namespace quillo::browser
