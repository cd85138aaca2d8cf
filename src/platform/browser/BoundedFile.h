#pragma once

// Reading files that another program owns and that may be anything: every
// read is capped, and only regular files are read, so a FIFO or a device
// planted under a profile folder cannot block or flood the reader. Each
// system opens and reads them its own way (BoundedFileLinux.cpp,
// BoundedFileWindows.cpp).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillo::browser {

// The whole content of the regular file at path, at most maxSize bytes.
// Throws quillo::Error "<path>: <what was wrong>".
std::string ReadBoundedFile(const std::filesystem::path& path, std::size_t maxSize);

// A regular file opened for reading with this system's calls, shared so that
// its owner may still replace or delete it, closed with the object. Every
// failure throws quillo::Error with the text of what went wrong alone.
class SystemFile {
 public:
  explicit SystemFile(const std::filesystem::path& path);
  ~SystemFile();
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;

  // The size the system reports; "not a regular file" for anything else.
  std::uint64_t size() const;
  // Up to size bytes into data: how many, 0 at the end.
  std::size_t read(char* data, std::size_t size);

 private:
  std::intptr_t handle_;
};

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
