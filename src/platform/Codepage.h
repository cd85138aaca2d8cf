#pragma once

// Conversions between CP932 (every text of the program) and Unicode, in one
// place for both directions. A character CP932 lacks becomes "?"; bytes that
// are not valid CP932 become U+FFFD.

#include <string>
#include <string_view>

namespace quillo::cp932 {

std::string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::string_view cp932);
std::string FromUtf16(std::u16string_view utf16);
std::u16string ToUtf16(std::string_view cp932);

// Text in the C library's current locale character set (messages from the
// system) to CP932.
std::string FromLocale(std::string_view text);

}  // namespace quillo::cp932
