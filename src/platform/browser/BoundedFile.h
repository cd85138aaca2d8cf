#pragma once

// Reading files that another program owns and that may be anything: every
// read is capped, and only regular files are read, so a FIFO or a device
// planted under a profile folder cannot block or flood the reader. Each
// system opens them its own way (BoundedFileLinux.cpp, BoundedFileWindows.cpp).

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillo::browser {

// The whole content of the regular file at path, at most maxSize bytes.
// Throws quillo::Error "<path>: <what was wrong>".
std::string ReadBoundedFile(const std::filesystem::path& path, std::size_t maxSize);

// A path as UTF-8 for messages and OpenTab; on Windows the narrow string()
// would be the ANSI code page, which cannot hold every name.
inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A path from UTF-8 text (a profiles.ini entry, say).
inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace quillo::browser
