#pragma once

// Whether a browser profile is in use right now, judged by the lock the
// browser holds on it: a symbolic link naming the owner's host and process,
// or an fcntl lock on a file. Linux only.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillo::browser {

struct LockOwner {
  std::string host;  // a host name or an IP address
  long pid = 0;
};

// Firefox's "lock" link target, "HOST:+PID" (older builds leave out the "+").
std::optional<LockOwner> ParseFirefoxLockTarget(std::string_view target);

// Chromium's "SingletonLock" link target, "HOSTNAME-PID".
std::optional<LockOwner> ParseChromiumLockTarget(std::string_view target);

// The host names this machine. An IP address cannot be told apart from this
// machine's own (Firefox writes 127.0.0.1 when its host name does not
// resolve), so every one counts.
bool IsThisHost(const std::string& host);

// The owner is a live process on this machine (see IsThisHost).
bool IsLiveOnThisHost(const LockOwner& owner);

// The target of the symbolic link at path; nullopt when path is no symbolic
// link or its target is unreasonably long.
std::optional<std::string> ReadLinkTarget(const std::filesystem::path& path);

// Another process holds an fcntl lock on the file at path.
bool IsLockedByAnotherProcess(const std::filesystem::path& path);

}  // namespace quillo::browser
