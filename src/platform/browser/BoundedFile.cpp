#include "platform/browser/BoundedFile.h"

#include <algorithm>

#include "base/Error.h"

namespace quillo::browser {

std::string ReadBoundedFile(const std::filesystem::path& path, std::size_t maxSize) {
  try {
    SystemFile file(path);
    const std::uint64_t size = file.size();
    if (size > maxSize) throw Error("file too large");
    // The size is only a hint: the owner may be rewriting the file right now.
    // So the read goes on to the file's end, or to one byte past the bound.
    std::string content(static_cast<std::size_t>(size), '\0');
    std::size_t filled = 0;
    for (;;) {
      if (filled == content.size()) {
        content.resize(std::min(maxSize + 1, std::max<std::size_t>(4096, 2 * filled)));
      }
      const std::size_t got = file.read(content.data() + filled, content.size() - filled);
      if (got == 0) break;
      filled += got;
      if (filled > maxSize) throw Error("file too large");
    }
    content.resize(filled);
    return content;
  } catch (const Error& e) {
    throw Error(PathText(path) + ": " + e.message());
  }
}

}  // namespace quillo::browser
