#include "platform/Sockets.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
// After winsock2.h: windows.h alone would pull in the old winsock.h.
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

#include <utility>

#include "platform/Codepage.h"

namespace quillo::net {
namespace {

// The message area's size: a text that does not fit is not fetched.
constexpr std::size_t kMessageArea = 256;
// How long a waiting call waits before the wait hook runs again.
constexpr int kSliceMs = 50;

#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr int kSendFlags = 0;
int CloseNative(NativeSocket s) { return closesocket(s); }
int NativeLastError() { return WSAGetLastError(); }
void SetNativeLastError(int code) { WSASetLastError(code); }
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
bool Interrupted() { return false; }
void MakeNonBlocking(NativeSocket s) {
  u_long on = 1;
  ioctlsocket(s, FIONBIO, &on);
}
int PollNative(pollfd* p) { return WSAPoll(p, 1, kSliceMs); }
using OptionLength = int;

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
void SetNativeLastError(int code) { errno = code; }
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS; }
bool Interrupted() { return errno == EINTR; }
void MakeNonBlocking(NativeSocket s) { ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK); }
int PollNative(pollfd* p) { return ::poll(p, 1, kSliceMs); }
using OptionLength = socklen_t;

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

// The error a non-blocking connect ended with, 0 while none.
int PendingError(NativeSocket s) {
  int error = 0;
  OptionLength length = sizeof error;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return NativeLastError();
  }
  return error;
}

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

  // Every socket waits in slices (see WaitHook), so it never blocks.
  SocketHandle openStream() override {
    const NativeSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#ifdef _WIN32
    if (s == INVALID_SOCKET) return kInvalidSocket;
#else
    if (s < 0) return kInvalidSocket;
#endif
    MakeNonBlocking(s);
    return static_cast<SocketHandle>(s);
  }

  // A failure leaves the system's code for it as the last error, as a
  // blocking connect would.
  int connect(SocketHandle s, std::uint32_t address, std::uint16_t port) override {
    sockaddr_in to;
    std::memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (::connect(Native(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    if (!WouldBlock() && !Interrupted()) return -1;
    for (;;) {
      pollfd writable{Native(s), POLLOUT, 0};
      const int ready = PollNative(&writable);
      if (ready < 0 && !Interrupted()) return -1;
      // Asked after every slice: some pollers never report a refused
      // connection.
      const int error = PendingError(Native(s));
      if (error != 0) {
        SetNativeLastError(error);
        return -1;
      }
      if (ready > 0) return 0;
      waited();
    }
  }

  long send(SocketHandle s, const char* data, std::size_t size) override {
    for (;;) {
#ifdef _WIN32
      const int length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
      const int sent = ::send(Native(s), data, length, kSendFlags);
      if (sent != SOCKET_ERROR) return sent;
#else
      const ssize_t sent = ::send(Native(s), data, size, kSendFlags);
      if (sent >= 0) return static_cast<long>(sent);
#endif
      if (!waitFor(s, POLLOUT)) return -1;
    }
  }

  long recv(SocketHandle s, char* data, std::size_t size) override {
    for (;;) {
#ifdef _WIN32
      const int got = ::recv(Native(s), data, static_cast<int>(size), 0);
      if (got != SOCKET_ERROR) return got;
#else
      const ssize_t got = ::recv(Native(s), data, size, 0);
      if (got >= 0) return static_cast<long>(got);
#endif
      if (!waitFor(s, POLLIN)) return -1;
    }
  }

  int close(SocketHandle s) override { return CloseNative(Native(s)); }

  void setWaitHook(WaitHook hook) override { hook_ = std::move(hook); }

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

 private:
  // After a call that could not go on at once: waits, slice by slice, until
  // s is ready for events. False, with the call's own error kept as the last
  // error, when the call failed for another reason than having to wait.
  bool waitFor(SocketHandle s, short events) {
    if (!WouldBlock() && !Interrupted()) return false;
    for (;;) {
      pollfd ready{Native(s), events, 0};
      const int got = PollNative(&ready);
      // Ready, or failed: the next try of the call reports which.
      if (got > 0) return true;
      if (got < 0 && !Interrupted()) return false;
      waited();
    }
  }

  void waited() {
    if (hook_) hook_();
  }

  WaitHook hook_;
};

}  // namespace

SocketApi& SystemSockets() {
  static SystemSocketApi api;
  return api;
}

}  // namespace quillo::net
