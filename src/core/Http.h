#pragma once

// Fetches one page over HTTP/1.0 on port 80: a HEAD probe on one connection,
// then, when it answered 200, a GET on a second connection into the buffer.
// Every call goes through the sockets it is given.

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "base/SocketApi.h"
#include "core/ResponseBuffer.h"

namespace quillo {

// Status of the probe; -1 without any network traffic when url does not
// begin with "http://". Raises Error when a socket call fails or the host
// cannot be resolved.
int HttpGetUrl(net::SocketApi& sockets, std::string_view url, ResponseBuffer& buffer);

// Host and path of an "http://" address, split at the first "/" behind the
// scheme (path "/" when there is none); nullopt without the exact scheme.
// Nothing else is interpreted: a port or user part stays in the host.
std::optional<std::pair<std::string_view, std::string_view>> SplitAddress(std::string_view url);

// The probe's status; the buffer is filled only when it is 200. Every error
// leaves as a plain Error with its message, every socket closed first.
int HttpGetPath(net::SocketApi& sockets, std::string_view host, std::string_view path,
                ResponseBuffer& buffer);

// The host's first IPv4 address, network byte order. Dotted literals go
// through a reverse lookup. Raises "[host] IS INVALID ADDRSS.".
std::uint32_t ResolveHost(net::SocketApi& sockets, std::string_view host);

bool IsIpAddress(std::string_view text);
bool IsByteValue(std::string_view text);

// The status number read from the first received bytes of a response, or -1.
int ReadStatus(std::string_view probe);

// Socket library start (version 1.1) and release, once per program.
void HttpStartup(net::SocketApi& sockets);
void HttpCleanup(net::SocketApi& sockets);

// HttpStartup for as long as it exists, HttpCleanup at its end however the
// program ends.
class SocketLibrary {
 public:
  explicit SocketLibrary(net::SocketApi& sockets) : sockets_(sockets) { HttpStartup(sockets_); }
  ~SocketLibrary() { HttpCleanup(sockets_); }
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

 private:
  net::SocketApi& sockets_;
};

}  // namespace quillo
