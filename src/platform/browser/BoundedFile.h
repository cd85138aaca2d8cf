#pragma once

// Reading files that another program owns and that may be anything: every
// read is capped, and only regular files are read, so a FIFO or a device
// planted under a profile folder cannot block or flood the reader.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace quillo::browser {

// The whole content of the regular file at path, at most maxSize bytes.
// Throws quillo::Error "<path>: <what was wrong>".
std::string ReadBoundedFile(const std::filesystem::path& path, std::size_t maxSize);

// The target of the symbolic link at path; nullopt when path is no symbolic
// link or its target is unreasonably long.
std::optional<std::string> ReadLinkTarget(const std::filesystem::path& path);

}  // namespace quillo::browser
