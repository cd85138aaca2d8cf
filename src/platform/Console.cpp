#include "platform/Console.h"

#ifdef _WIN32
#include <windows.h>
// These two need the definitions of windows.h.
#include <io.h>
#include <shellapi.h>
#endif

namespace quillo::console {
namespace {

bool WriteBytesLine(std::FILE* stream, std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
         std::fputc('\n', stream) != EOF;
}

#ifdef _WIN32
std::string ToUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
  return out;
}
#endif

}  // namespace

#ifdef _WIN32
std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(ToUtf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool WriteLine(std::FILE* stream, std::string_view utf8) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    return WriteBytesLine(stream, utf8);
  }
  // What went before through the C library's buffer comes first.
  std::fflush(stream);
  const std::wstring text = FromUtf8(utf8) + L"\r\n";
  const auto* data = text.data();
  DWORD left = static_cast<DWORD>(text.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(handle, data, left, &written, nullptr) || written == 0) return false;
    data += written;
    left -= written;
  }
  return true;
}
#else
std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool WriteLine(std::FILE* stream, std::string_view utf8) { return WriteBytesLine(stream, utf8); }
#endif

}  // namespace quillo::console
