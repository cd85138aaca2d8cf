#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Error.h"
#include "platform/browser/BoundedFile.h"

namespace quillo::browser {
namespace {

// Own texts instead of strerror: a Qt program runs under the user's locale and
// these messages stay English.
std::string OpenFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "file not found";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ELOOP:
      return "too many symbolic links";
    default:
      return "cannot be opened (error " + std::to_string(error) + ")";
  }
}

int Native(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

// O_NONBLOCK so that opening a FIFO does not wait for a writer.
SystemFile::SystemFile(const std::filesystem::path& path)
    : handle_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
  if (handle_ < 0) throw Error(OpenFailure(errno));
}

SystemFile::~SystemFile() { ::close(Native(handle_)); }

std::uint64_t SystemFile::size() const {
  struct stat info = {};
  if (::fstat(Native(handle_), &info) != 0) throw Error("cannot be examined");
  if (!S_ISREG(info.st_mode)) throw Error("not a regular file");
  return static_cast<std::uint64_t>(info.st_size);
}

std::size_t SystemFile::read(char* data, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(Native(handle_), data, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw Error("read error (error " + std::to_string(errno) + ")");
  }
}

}  // namespace quillo::browser
