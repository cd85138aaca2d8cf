#include "platform/browser/LockOwner.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <limits.h>
#include <netinet/in.h>
#include <unistd.h>

#include <charconv>
#include <system_error>

namespace quillo::browser {
namespace {

std::optional<long> ParsePid(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  long pid = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
  if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) {
    return std::nullopt;
  }
  return pid;
}

std::optional<LockOwner> SplitOwner(std::string_view target, char separator, bool allowPlus) {
  const std::size_t cut = target.rfind(separator);
  if (cut == std::string_view::npos) return std::nullopt;
  std::string_view pidText = target.substr(cut + 1);
  if (allowPlus && !pidText.empty() && pidText.front() == '+') pidText.remove_prefix(1);
  const std::optional<long> pid = ParsePid(pidText);
  if (!pid) return std::nullopt;
  return LockOwner{std::string(target.substr(0, cut)), *pid};
}

bool IsIpAddress(const std::string& host) {
  in6_addr address{};
  return ::inet_pton(AF_INET, host.c_str(), &address) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

std::string ThisHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool ProcessExists(long pid) {
  std::error_code ignored;
  return std::filesystem::exists("/proc/" + std::to_string(pid), ignored);
}

}  // namespace

std::optional<LockOwner> ParseFirefoxLockTarget(std::string_view target) {
  return SplitOwner(target, ':', true);
}

std::optional<LockOwner> ParseChromiumLockTarget(std::string_view target) {
  // Host names may hold dashes; the process id is after the last one.
  return SplitOwner(target, '-', false);
}

bool IsThisHost(const std::string& host) { return IsIpAddress(host) || host == ThisHostName(); }

bool IsLiveOnThisHost(const LockOwner& owner) {
  return IsThisHost(owner.host) && ProcessExists(owner.pid);
}

bool IsLockedByAnotherProcess(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  // F_GETLK reports the locks that would block ours, which never includes
  // this process's own.
  const bool locked = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  ::close(fd);
  return locked;
}

std::optional<std::string> ReadLinkTarget(const std::filesystem::path& path) {
  char buffer[1024];
  const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace quillo::browser
