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
void SetBlocking(NativeSocket s, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
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
void SetBlocking(NativeSocket s, bool blocking) {
  const int flags = ::fcntl(s, F_GETFL);
  ::fcntl(s, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}
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

  SocketHandle openStream() override {
    const NativeSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#ifdef _WIN32
    if (s == INVALID_SOCKET) return kInvalidSocket;
#else
    if (s < 0) return kInvalidSocket;
#endif
    return static_cast<SocketHandle>(s);
  }

  // Non-blocking for the time of the connect, so that it can wait in slices
  // (see WaitHook). A failure leaves the system's code for it as the last
  // error, as a blocking connect would.
  int connect(SocketHandle s, std::uint32_t address, std::uint16_t port) override {
    sockaddr_in to;
    std::memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    runHook();
    SetBlocking(Native(s), false);
    bool connected = ::connect(Native(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    if (!connected && (WouldBlock() || Interrupted())) connected = awaitReady(s, POLLOUT, true);
    const int error = NativeLastError();
    SetBlocking(Native(s), true);
    if (connected) return 0;
    SetNativeLastError(error);
    return -1;
  }

  // As much as the socket takes now, waiting in slices until it takes
  // something: a server that reads nothing must not hold the caller.
  long send(SocketHandle s, const char* data, std::size_t size) override {
    runHook();
    SetBlocking(Native(s), false);
    long sent = -1;
    while ((sent = sendOnce(s, data, size)) < 0 && (WouldBlock() || Interrupted())) {
      if (!awaitReady(s, POLLOUT)) break;
    }
    const int error = NativeLastError();
    SetBlocking(Native(s), true);
    SetNativeLastError(error);
    return sent;
  }

  // The receive is in progress while it waits, as a blocking one is: Wine's
  // Winsock reports a reset only to a receive that is waiting for data
  // (Windows keeps it for later ones too). Overlapped on Windows, so that it
  // can wait in slices; elsewhere it starts once the socket is ready.
  long recv(SocketHandle s, char* data, std::size_t size) override {
    runHook();
#ifdef _WIN32
    // One event for every receive: a page comes in thousands of them.
    if (received_ == WSA_INVALID_EVENT && (received_ = WSACreateEvent()) == WSA_INVALID_EVENT) {
      return -1;  // its code is the last error
    }
    WSAResetEvent(received_);
    WSABUF area{static_cast<ULONG>(size), data};
    WSAOVERLAPPED pending{};
    pending.hEvent = received_;
    DWORD got = 0;
    DWORD flags = 0;
    if (WSARecv(Native(s), &area, 1, &got, &flags, &pending, nullptr) == 0) {
      return static_cast<long>(got);
    }
    if (WSAGetLastError() != WSA_IO_PENDING) return -1;
    // data and pending must outlive the receive: whatever ends the wait (a
    // failed wait, the hook throwing), the receive is cancelled and waited
    // for before they go.
    struct Outstanding {
      NativeSocket socket;
      WSAOVERLAPPED* pending;
      bool done = false;
      ~Outstanding() {
        if (done) return;
        const int error = WSAGetLastError();
        CancelIoEx(reinterpret_cast<HANDLE>(socket), pending);
        DWORD ignored = 0, flags = 0;
        WSAGetOverlappedResult(socket, pending, &ignored, TRUE, &flags);
        WSASetLastError(error);
      }
    } outstanding{Native(s), &pending};
    DWORD wait = WSA_WAIT_TIMEOUT;
    while ((wait = WSAWaitForMultipleEvents(1, &pending.hEvent, FALSE, kSliceMs, FALSE)) ==
           WSA_WAIT_TIMEOUT) {
      runHook();
    }
    if (wait != WSA_WAIT_EVENT_0) return -1;
    outstanding.done = true;
    return WSAGetOverlappedResult(Native(s), &pending, &got, FALSE, &flags) ? static_cast<long>(got)
                                                                            : -1;
#else
    if (!awaitReady(s, POLLIN)) return -1;
    const ssize_t got = ::recv(Native(s), data, size, 0);
    return got < 0 ? -1 : static_cast<long>(got);
#endif
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
  static long sendOnce(SocketHandle s, const char* data, std::size_t size) {
#ifdef _WIN32
    const int length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    const int sent = ::send(Native(s), data, length, kSendFlags);
    return sent == SOCKET_ERROR ? -1 : sent;
#else
    const ssize_t sent = ::send(Native(s), data, size, kSendFlags);
    return sent < 0 ? -1 : static_cast<long>(sent);
#endif
  }

  // Waits, slice by slice, until s is ready for events (or has an error or
  // a hang-up for the call to report). False, with the code as the last
  // error, when the wait itself failed or, for a connect in progress, the
  // connection did: some pollers never report a refused one, so it is asked
  // after every slice.
  bool awaitReady(SocketHandle s, short events, bool connecting = false) {
    for (;;) {
      pollfd ready{Native(s), events, 0};
      const int got = PollNative(&ready);
      if (got < 0 && !Interrupted()) return false;
      if (connecting) {
        if (const int error = PendingError(Native(s)); error != 0) {
          SetNativeLastError(error);
          return false;
        }
      }
      if (got > 0) return true;
      runHook();
    }
  }

  // Before every call too, not only after a slice of waiting: a server that
  // trickles its bytes must not hold the caller either. The hook paces
  // itself.
  void runHook() {
    if (hook_) hook_();
  }

  WaitHook hook_;
#ifdef _WIN32
  WSAEVENT received_ = WSA_INVALID_EVENT;
#endif
};

}  // namespace

SocketApi& SystemSockets() {
  static SystemSocketApi api;
  return api;
}

}  // namespace quillo::net
