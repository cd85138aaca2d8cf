#include "platform/Sockets.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
// After winsock2.h: windows.h alone would pull in the old winsock.h.
#include <windows.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

#include "platform/Codepage.h"

namespace quillo::net {
namespace {

// The message area's size: a text that does not fit is not fetched.
constexpr std::size_t kMessageArea = 256;

#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr int kSendFlags = 0;
int CloseNative(NativeSocket s) { return closesocket(s); }
int NativeLastError() { return WSAGetLastError(); }

std::string NativeErrorText(int code) {
  char area[kMessageArea] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, area, static_cast<DWORD>(sizeof area), nullptr);
  // The text is in the system's ANSI code page, which is 932 only on a
  // Japanese system.
  return cp932::FromLocale(std::string_view(area, length));
}
#else
using NativeSocket = int;
// A peer that resets must give an error, not a SIGPIPE that ends the program.
constexpr int kSendFlags = MSG_NOSIGNAL;
int CloseNative(NativeSocket s) { return ::close(s); }
int NativeLastError() { return errno; }

std::string NativeErrorText(int code) {
  char area[kMessageArea] = {};
  // The GNU strerror_r may return a static text instead of filling area.
  const char* text = strerror_r(code, area, sizeof area);
  const std::size_t length = std::strlen(text);
  if (length >= kMessageArea) return {};
  return cp932::FromLocale(std::string_view(text, length));
}
#endif

NativeSocket Native(SocketHandle s) { return static_cast<NativeSocket>(s); }

std::optional<std::uint32_t> FirstAddress(const hostent* entry) {
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr) {
    return std::nullopt;
  }
  std::uint32_t address = 0;
  std::memcpy(&address, entry->h_addr_list[0], sizeof address);
  return address;
}

class SystemSocketApi final : public SocketApi {
 public:
  void startup(std::uint16_t version) override {
#ifdef _WIN32
    WSADATA data;
    WSAStartup(version, &data);
#else
    (void)version;  // POSIX sockets need no start-up
#endif
  }

  void cleanup() override {
#ifdef _WIN32
    WSACleanup();
#endif
  }

  SocketHandle openStream() override {
    const NativeSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#ifdef _WIN32
    if (s == INVALID_SOCKET) return kInvalidSocket;
#else
    if (s < 0) return kInvalidSocket;
#endif
    return static_cast<SocketHandle>(s);
  }

  int connect(SocketHandle s, std::uint32_t address, std::uint16_t port) override {
    sockaddr_in to;
    std::memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    const int result = ::connect(Native(s), reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return result == 0 ? 0 : -1;
  }

  long send(SocketHandle s, const char* data, std::size_t size) override {
#ifdef _WIN32
    const int length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    const int sent = ::send(Native(s), data, length, kSendFlags);
    return sent == SOCKET_ERROR ? -1 : sent;
#else
    const ssize_t sent = ::send(Native(s), data, size, kSendFlags);
    return sent < 0 ? -1 : static_cast<long>(sent);
#endif
  }

  long recv(SocketHandle s, char* data, std::size_t size) override {
#ifdef _WIN32
    const int got = ::recv(Native(s), data, static_cast<int>(size), 0);
    return got == SOCKET_ERROR ? -1 : got;
#else
    const ssize_t got = ::recv(Native(s), data, size, 0);
    return got < 0 ? -1 : static_cast<long>(got);
#endif
  }

  int close(SocketHandle s) override { return CloseNative(Native(s)); }

  std::uint32_t inetAddr(const std::string& text) override {
    return static_cast<std::uint32_t>(inet_addr(text.c_str()));
  }

  std::optional<std::uint32_t> hostByName(const std::string& name) override {
    return FirstAddress(gethostbyname(name.c_str()));
  }

  std::optional<std::uint32_t> hostByAddr(std::uint32_t address) override {
    return FirstAddress(
        gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET));
  }

  int lastError() override { return NativeLastError(); }

  std::string errorText(int code) override { return NativeErrorText(code); }
};

}  // namespace

SocketApi& SystemSockets() {
  static SystemSocketApi api;
  return api;
}

}  // namespace quillo::net
