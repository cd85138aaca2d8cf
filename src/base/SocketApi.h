#pragma once

// The socket calls the page fetch makes: the port through which the core
// reaches the network. The platform implements it over POSIX sockets or
// Winsock (platform/Sockets.h); each program hands that implementation to
// the core once, at start-up; tests hand in their own to make a call fail or
// to lead port 80 to a test server.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillo::net {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;

// The error of a send that takes nothing: retried, it would wait for ever.
inline constexpr const char* kSendStalled = "The connection accepted no more of the request";

// Runs as connect, send and recv begin and between the short slices in which
// they wait for the network, so that a window can paint and hear a close
// request meanwhile; it decides itself how often that is worth it. It may
// throw to abandon the waiting call.
using WaitHook = std::function<void()>;

class SocketApi {
 public:
  virtual ~SocketApi() = default;

  // Socket library start-up with the given version word, and release.
  virtual void startup(std::uint16_t version) = 0;
  virtual void cleanup() = 0;

  // A TCP stream socket (family 2, type 1, protocol 6), or kInvalidSocket.
  virtual SocketHandle openStream() = 0;
  // To an IPv4 address (network byte order) and port (host order): 0 on
  // success, -1 on failure.
  virtual int connect(SocketHandle s, std::uint32_t address, std::uint16_t port) = 0;
  // Bytes accepted, or -1.
  virtual long send(SocketHandle s, const char* data, std::size_t size) = 0;
  // Bytes received, 0 when the peer closed, -1 on failure.
  virtual long recv(SocketHandle s, char* data, std::size_t size) = 0;
  virtual int close(SocketHandle s) = 0;

  // The hook for every waiting call from now on; an empty one just waits.
  virtual void setWaitHook(WaitHook hook) = 0;

  // inet_addr: network byte order, 0xFFFFFFFF when not a dotted address.
  virtual std::uint32_t inetAddr(const std::string& text) = 0;
  // First address of the host entry (network byte order), or nullopt.
  virtual std::optional<std::uint32_t> hostByName(const std::string& name) = 0;
  virtual std::optional<std::uint32_t> hostByAddr(std::uint32_t address) = 0;

  // The thread's last socket error code.
  virtual int lastError() = 0;
  // The system's message text for code as CP932, fetched into a 256-byte
  // area: empty when it does not fit or the system has none. Not trimmed.
  virtual std::string errorText(int code) = 0;
};

}  // namespace quillo::net
