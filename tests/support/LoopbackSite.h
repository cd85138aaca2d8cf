#pragma once

// A listings site on loopback for the fetch, run and window tests: a TCP
// server (plain, or TLS over it) that answers each accepted connection with
// the next scripted reply and records the request bytes, and sockets that
// lead the core's ports 80 and 443 and name lookups to it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/SocketApi.h"

namespace quillo::testing {

struct Reply {
  std::string bytes;
  // Send in pieces of this size with a short pause between them (0: at once).
  std::size_t piece = 0;
  // Reset the connection (RST) after sending instead of closing it.
  bool reset = false;
  // After sending: hold the connection open, silent, until the server stops.
  bool stall = false;
  // Send bytes again and again until the client goes away.
  bool endless = false;
  // Over TLS: close the TCP stream without the session's close_notify.
  bool cut = false;
};

inline const std::string kHeadOk = "HTTP/1.0 200 OK\r\n\r\n";

// Replies for a sequence of pages: each page answers its HEAD probe with 200
// and then its GET with the page.
inline std::vector<Reply> ServePages(const std::vector<std::string>& pages) {
  std::vector<Reply> replies;
  for (const auto& page : pages) {
    replies.push_back({kHeadOk});
    replies.push_back({page});
  }
  return replies;
}

// One accepted connection as a TLS server speaks on it.
class ServerSession {
 public:
  virtual ~ServerSession() = default;
  // As recv and send: bytes, 0 when the peer closed, negative on failure.
  virtual long read(char* data, std::size_t size) = 0;
  virtual long write(const char* data, std::size_t size) = 0;
  // Sends close_notify.
  virtual void shutdown() = 0;
};

// A TestServer's TLS side (support/TlsServer.h): the handshake on each
// accepted socket, nullptr when it failed.
class ServerTls {
 public:
  virtual ~ServerTls() = default;
  virtual std::unique_ptr<ServerSession> accept(std::intptr_t socket) = 0;
};

class TestServer {
 public:
  // Over TLS when tls is given.
  explicit TestServer(std::vector<Reply> replies, std::shared_ptr<ServerTls> tls = nullptr);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  std::uint16_t port() const { return port_; }
  // The bytes received on each connection so far, in accept order.
  std::vector<std::string> requests() const;

 private:
  void serve();

  std::vector<Reply> replies_;
  std::shared_ptr<ServerTls> tls_;
  net::SocketHandle listener_ = net::kInvalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// Forwards to the system's sockets, but sends ports 80 and 443 to a test
// server's port and answers name lookups for the listed names with 127.0.0.1.
class LoopbackSockets : public net::SocketApi {
 public:
  explicit LoopbackSockets(std::uint16_t port, std::vector<std::string> names = {});

  void startup(std::uint16_t version) override { system_.startup(version); }
  void cleanup() override { system_.cleanup(); }
  net::SocketHandle openStream() override;
  int connect(net::SocketHandle s, std::uint32_t address, std::uint16_t port) override;
  long send(net::SocketHandle s, const char* data, std::size_t size) override;
  long recv(net::SocketHandle s, char* data, std::size_t size) override;
  int close(net::SocketHandle s) override;
  void setWaitHook(net::WaitHook hook) override { system_.setWaitHook(std::move(hook)); }
  std::uint32_t inetAddr(const std::string& text) override { return system_.inetAddr(text); }
  std::optional<std::uint32_t> hostByName(const std::string& name) override;
  std::optional<std::uint32_t> hostByAddr(std::uint32_t address) override {
    return system_.hostByAddr(address);
  }
  int lastError() override { return system_.lastError(); }
  std::string errorText(int code) override { return system_.errorText(code); }

  // Leads port 80 to another server from now on.
  void leadTo(std::uint16_t port) { port_ = port; }
  // Leads port 443 to another server than port 80 from now on.
  void leadSecureTo(std::uint16_t port) { securePort_ = port; }

  // Sockets opened and not yet closed.
  int openSockets() const { return open_; }
  std::vector<std::uint16_t> connectedPorts() const { return ports_; }

 protected:
  net::SocketApi& system_;

 private:
  std::uint16_t port_;
  std::optional<std::uint16_t> securePort_;
  std::vector<std::string> names_;
  int open_ = 0;
  std::vector<std::uint16_t> ports_;
};

// The server and the sockets that lead to it, for the common case: pages
// in, recorded requests out, sockets() handed to the core.
class LoopbackSite {
 public:
  explicit LoopbackSite(std::vector<Reply> replies, std::vector<std::string> names = {})
      : server_(std::move(replies)), sockets_(server_.port(), std::move(names)) {}

  LoopbackSockets& sockets() { return sockets_; }
  std::vector<std::string> requests() const { return server_.requests(); }

 private:
  TestServer server_;
  LoopbackSockets sockets_;
};

}  // namespace quillo::testing
