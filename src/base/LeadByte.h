#pragma once

namespace quillo::text {

// The first byte of a CP932 double-byte character: 0x81..0x9F and 0xE0..0xFC.
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace quillo::text
