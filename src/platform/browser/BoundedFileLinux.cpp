#include "platform/browser/BoundedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Error.h"

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

class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string ReadBoundedFile(const std::filesystem::path& path, std::size_t maxSize) {
  auto fail = [&](const std::string& what) { return Error(PathText(path) + ": " + what); };

  // O_NONBLOCK so that opening a FIFO does not wait for a writer.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) throw fail(OpenFailure(errno));
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw fail("cannot be examined");
  if (!S_ISREG(info.st_mode)) throw fail("not a regular file");
  if (static_cast<unsigned long long>(info.st_size) > maxSize) throw fail("file too large");

  // The size is only a hint: the owner may be rewriting the file right now.
  std::string content;
  content.resize(static_cast<std::size_t>(info.st_size));
  std::size_t filled = 0;
  for (;;) {
    if (filled == content.size()) {
      if (content.size() > maxSize) throw fail("file too large");
      content.resize(content.size() + 4096);
    }
    const ssize_t got = ::read(file.get(), content.data() + filled, content.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw fail("read error (error " + std::to_string(errno) + ")");
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  if (filled > maxSize) throw fail("file too large");
  content.resize(filled);
  return content;
}

}  // namespace quillo::browser
