#include "support/LoopbackSite.h"

#include "platform/Sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <stdexcept>

namespace quillo::testing {
namespace {

// The few calls where Winsock and POSIX differ.
#ifdef _WIN32
using Fd = SOCKET;
using Length = int;
constexpr int kNoSignal = 0;
int CloseFd(Fd fd) { return ::closesocket(fd); }
int PollFd(pollfd* p, int timeoutMs) { return ::WSAPoll(p, 1, timeoutMs); }
// Winsock takes char pointers and int sizes where POSIX takes void and size_t.
const char* OptionValue(const void* value) { return static_cast<const char*>(value); }
int Size(std::size_t n) { return static_cast<int>(n); }
void StartSockets() {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
}
void StopSockets() { ::WSACleanup(); }
#else
using Fd = int;
using Length = socklen_t;
constexpr int kNoSignal = MSG_NOSIGNAL;
int CloseFd(Fd fd) { return ::close(fd); }
int PollFd(pollfd* p, int timeoutMs) { return ::poll(p, 1, timeoutMs); }
const void* OptionValue(const void* value) { return value; }
std::size_t Size(std::size_t n) { return n; }
void StartSockets() {}
void StopSockets() {}
#endif

constexpr int kPollMs = 50;

Fd Native(net::SocketHandle s) { return static_cast<Fd>(s); }

bool WaitReadable(Fd fd, const std::atomic<bool>& stop) {
  pollfd p{fd, POLLIN, 0};
  while (!stop) {
    const int r = PollFd(&p, kPollMs);
    if (r > 0) return true;
    if (r < 0) return false;
  }
  return false;
}

}  // namespace

TestServer::TestServer(std::vector<Reply> replies, std::shared_ptr<ServerTls> tls)
    : replies_(std::move(replies)), tls_(std::move(tls)) {
  StartSockets();  // Winsock needs it before the first socket; kept until the destructor
  const Fd listener = ::socket(AF_INET, SOCK_STREAM, 0);
  listener_ = static_cast<net::SocketHandle>(listener);
  const int one = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, OptionValue(&one), sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, 16) != 0) {
    CloseFd(listener);
    StopSockets();
    throw std::runtime_error("test server cannot listen");
  }
  Length len = sizeof addr;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { serve(); });
}

TestServer::~TestServer() {
  stop_ = true;
  thread_.join();
  CloseFd(Native(listener_));
  StopSockets();
}

std::vector<std::string> TestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void TestServer::serve() {
  for (std::size_t n = 0; !stop_; ++n) {
    if (!WaitReadable(Native(listener_), stop_)) return;
    const Fd fd = ::accept(Native(listener_), nullptr, nullptr);
    if (fd == static_cast<Fd>(-1)) return;
    {
      std::lock_guard lock(mutex_);
      requests_.emplace_back();
    }
    // Over TLS the handshake comes first; a refused one ends the connection.
    std::unique_ptr<ServerSession> session;
    if (tls_ && !(session = tls_->accept(static_cast<std::intptr_t>(fd)))) {
      CloseFd(fd);
      continue;
    }
    const auto receive = [&](char* data, std::size_t size) -> long {
      if (session) return session->read(data, size);
      return static_cast<long>(::recv(fd, data, Size(size), 0));
    };
    const auto transmit = [&](const char* data, std::size_t size) -> bool {
      if (session) return session->write(data, size) > 0;
      return ::send(fd, data, Size(size), kNoSignal) >= 0;
    };
    // Read the request up to its blank line (or until the client closes).
    std::string request;
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(fd, stop_)) {
      const long got = receive(chunk, sizeof chunk);
      if (got <= 0) break;
      request.append(chunk, static_cast<std::size_t>(got));
      std::lock_guard lock(mutex_);
      requests_.back() = request;
    }
    if (n < replies_.size()) {
      const Reply& reply = replies_[n];
      const std::size_t piece = reply.piece == 0 ? reply.bytes.size() : reply.piece;
      bool sending = true;
      do {
        for (std::size_t at = 0; sending && at < reply.bytes.size(); at += piece) {
          const std::size_t size = std::min(piece, reply.bytes.size() - at);
          sending = transmit(reply.bytes.data() + at, size);
          if (reply.piece != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      } while (reply.endless && sending && !stop_);
      while (reply.stall && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (reply.reset) {
        // Let the client's receive be waiting first: Wine reports a reset
        // that comes before it as a plain end.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const linger hard{1, 0};  // close with RST
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, OptionValue(&hard), sizeof hard);
      } else if (session && !reply.cut) {
        session->shutdown();
      }
    } else if (session) {
      session->shutdown();
    }
    session.reset();
    CloseFd(fd);
  }
}

LoopbackSockets::LoopbackSockets(std::uint16_t port, std::vector<std::string> names)
    : system_(net::SystemSockets()), port_(port), names_(std::move(names)) {}

net::SocketHandle LoopbackSockets::openStream() {
  const net::SocketHandle s = system_.openStream();
  if (s != net::kInvalidSocket) ++open_;
  return s;
}

int LoopbackSockets::connect(net::SocketHandle s, std::uint32_t address, std::uint16_t port) {
  ports_.push_back(port);
  if (port == 443) return system_.connect(s, address, securePort_.value_or(port_));
  return system_.connect(s, address, port == 80 ? port_ : port);
}

long LoopbackSockets::send(net::SocketHandle s, const char* data, std::size_t size) {
  return system_.send(s, data, size);
}

long LoopbackSockets::recv(net::SocketHandle s, char* data, std::size_t size) {
  return system_.recv(s, data, size);
}

int LoopbackSockets::close(net::SocketHandle s) {
  --open_;
  return system_.close(s);
}

std::optional<std::uint32_t> LoopbackSockets::hostByName(const std::string& name) {
  for (const std::string& known : names_) {
    if (name == known) return htonl(INADDR_LOOPBACK);
  }
  return system_.hostByName(name);
}

}  // namespace quillo::testing
