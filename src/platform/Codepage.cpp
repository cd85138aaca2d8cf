#include "platform/Codepage.h"

#include "base/LeadByte.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#endif

namespace quillo::cp932 {
namespace {

#ifdef _WIN32
constexpr UINT kShiftJis = 932;

std::u16string Widen(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()),
                      length);
  return out;
}

// Windows fills the gaps of code page 932 with U+30FB or private-use
// characters (a lone lead byte, an unassigned pair, the single bytes 0x80,
// 0xA0 and 0xFD to 0xFF). Here each byte that starts no CP932 character
// becomes one U+FFFD and the conversion goes on behind it.
bool IsGap(unsigned char c) { return c == 0x80 || c == 0xA0 || c >= 0xFD; }

bool HasGapByte(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (IsGap(c)) return true;
    if (text::IsLeadByte(c)) ++i;
  }
  return false;
}

std::u16string WidenShiftJis(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length > 0 && !HasGapByte(text)) return Widen(kShiftJis, text);

  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int bytes = text::IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
    wchar_t unit = 0;
    const int got = IsGap(c) ? 0
                             : MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text.data() + i,
                                                   bytes, &unit, 1);
    if (got == 1) {
      out.push_back(static_cast<char16_t>(unit));
      i += static_cast<std::size_t>(bytes);
    } else {
      out.push_back(u'\uFFFD');
      ++i;
    }
  }
  return out;
}

std::string Narrow(UINT codePage, std::u16string_view text) {
  if (text.empty()) return {};
  std::u16string bmp;
  DWORD flags = 0;
  // UTF-8 takes no default character; code page 932 puts "?" for what it lacks.
  const char* fallback = nullptr;
  if (codePage != CP_UTF8) {
    // Windows would write one "?" per half of a surrogate pair and map some
    // characters to look-alikes (e acute to "e"); code page 932 holds
    // neither, so each becomes one "?".
    flags = WC_NO_BEST_FIT_CHARS;
    fallback = "?";
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t unit = text[i];
      const bool high = unit >= 0xD800 && unit <= 0xDBFF;
      if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
      bmp.push_back(unit >= 0xD800 && unit <= 0xDFFF ? u'?' : unit);
    }
    text = bmp;
  }
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(codePage, flags, wide, size, nullptr, 0, fallback, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide, size, out.data(), length, fallback, nullptr);
  return out;
}
#else
enum class Input { kBytes, kUtf8, kUtf16 };

// How many bytes make up the character at the start of an input sequence
// that could not be converted, so that exactly one replacement stands for it.
std::size_t CharacterLength(Input kind, const char* in, std::size_t left) {
  const auto byte = [in](std::size_t k) { return static_cast<unsigned char>(in[k]); };
  std::size_t length = 1;
  if (kind == Input::kUtf8) {
    length = byte(0) >= 0xF0 ? 4 : byte(0) >= 0xE0 ? 3 : byte(0) >= 0xC0 ? 2 : 1;
    for (std::size_t k = 1; k < length && k < left; ++k) {
      if ((byte(k) & 0xC0) != 0x80) return k;
    }
  } else if (kind == Input::kUtf16) {
    const bool highSurrogate = left >= 4 && (byte(1) & 0xFC) == 0xD8 && (byte(3) & 0xFC) == 0xDC;
    length = highSurrogate ? 4 : 2;
  }
  return length < left ? length : left;
}

// Converts with iconv, putting `replacement` for every input character that
// is invalid or has no counterpart in the target, and going on behind it.
template <typename Out>
Out Convert(const char* to, const char* from, Input kind, std::string_view input,
            std::string_view replacement) {
  using Unit = typename Out::value_type;
  Out out;
  const auto put = [&out](const char* bytes, std::size_t size) {
    out.append(reinterpret_cast<const Unit*>(bytes), size / sizeof(Unit));
  };
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;

  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char buffer[4096];
  for (;;) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = inLeft > 0 ? iconv(cd, &in, &inLeft, &outPtr, &outLeft)
                                          : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    put(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result != static_cast<std::size_t>(-1)) {
      if (inLeft == 0 && outPtr == buffer) break;
      continue;
    }
    if (errno == E2BIG) continue;
    const std::size_t skip = CharacterLength(kind, in, inLeft);  // EILSEQ or EINVAL
    in += skip;
    inLeft -= skip;
    put(replacement.data(), replacement.size());
  }
  iconv_close(cd);
  return out;
}

std::string_view Bytes(std::u16string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::u16string_view kReplacementUtf16 = u"\uFFFD";
#endif

}  // namespace

#ifdef _WIN32
std::string FromUtf8(std::string_view utf8) { return Narrow(kShiftJis, Widen(CP_UTF8, utf8)); }
std::string ToUtf8(std::string_view cp932) { return Narrow(CP_UTF8, WidenShiftJis(cp932)); }
std::string FromUtf16(std::u16string_view utf16) { return Narrow(kShiftJis, utf16); }
std::u16string ToUtf16(std::string_view cp932) { return WidenShiftJis(cp932); }
std::string FromLocale(std::string_view text) { return FromUtf16(Widen(CP_ACP, text)); }
#else
std::string FromUtf8(std::string_view utf8) {
  return Convert<std::string>("CP932", "UTF-8", Input::kUtf8, utf8, "?");
}

std::string ToUtf8(std::string_view cp932) {
  return Convert<std::string>("UTF-8", "CP932", Input::kBytes, cp932, kReplacementUtf8);
}

std::string FromUtf16(std::u16string_view utf16) {
  return Convert<std::string>("CP932", "UTF-16LE", Input::kUtf16, Bytes(utf16), "?");
}

std::u16string ToUtf16(std::string_view cp932) {
  return Convert<std::u16string>("UTF-16LE", "CP932", Input::kBytes, cp932,
                                 Bytes(kReplacementUtf16));
}

std::string FromLocale(std::string_view text) {
  const char* codeset = nl_langinfo(CODESET);
  const Input kind = std::string_view(codeset) == "UTF-8" ? Input::kUtf8 : Input::kBytes;
  return Convert<std::string>("CP932", codeset, kind, text, "?");
}
#endif

}  // namespace quillo::cp932
