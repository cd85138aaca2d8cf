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

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

// Shared for writing and deleting too: the browser may replace or delete its
// file while it is read here.
SystemFile::SystemFile(const std::filesystem::path& path)
    : handle_(reinterpret_cast<std::intptr_t>(CreateFileW(
          path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {
  if (Native(handle_) == INVALID_HANDLE_VALUE) throw Error(OpenFailure(GetLastError()));
}

SystemFile::~SystemFile() { CloseHandle(Native(handle_)); }

std::uint64_t SystemFile::size() const {
  // A disk file only: a pipe or a device would block or never end.
  if (GetFileType(Native(handle_)) != FILE_TYPE_DISK) throw Error("not a regular file");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Native(handle_), &size)) throw Error("cannot be examined");
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t SystemFile::read(char* data, std::size_t size) {
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
  DWORD got = 0;
  if (!ReadFile(Native(handle_), data, wanted, &got, nullptr)) {
    throw Error("read error (error " + std::to_string(GetLastError()) + ")");
  }
  return got;
}

}  // namespace quillo::browser
