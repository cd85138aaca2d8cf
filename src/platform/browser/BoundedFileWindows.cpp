#include <windows.h>

#include <algorithm>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"

namespace quillo::browser {
namespace {

std::string OpenFailure(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "file not found";
    case ERROR_ACCESS_DENIED:
      return "permission denied";
    case ERROR_SHARING_VIOLATION:
      return "in use by another program";
    default:
      return "cannot be opened (error " + std::to_string(error) + ")";
  }
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

std::string ReadBoundedFile(const std::filesystem::path& path, std::size_t maxSize) {
  auto fail = [&](const std::string& what) { return Error(PathText(path) + ": " + what); };

  // Shared for writing and deleting too, and closed at once: the browser may
  // replace or delete its file while it is read here.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) throw fail(OpenFailure(GetLastError()));
  // A disk file only: a pipe or a device would block or never end.
  if (GetFileType(file.get()) != FILE_TYPE_DISK) throw fail("not a regular file");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throw fail("cannot be examined");
  if (static_cast<unsigned long long>(size.QuadPart) > maxSize) throw fail("file too large");

  // The size is only a hint: the owner may be rewriting the file right now.
  std::string content;
  content.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t filled = 0;
  for (;;) {
    if (filled == content.size()) {
      if (content.size() > maxSize) throw fail("file too large");
      content.resize(content.size() + 4096);
    }
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::size_t>(content.size() - filled, 1u << 20));
    DWORD got = 0;
    if (!ReadFile(file.get(), content.data() + filled, wanted, &got, nullptr)) {
      throw fail("read error (error " + std::to_string(GetLastError()) + ")");
    }
    if (got == 0) break;
    filled += got;
  }
  if (filled > maxSize) throw fail("file too large");
  content.resize(filled);
  return content;
}

}  // namespace quillo::browser
