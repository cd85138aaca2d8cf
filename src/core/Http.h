#pragma once

// Fetches one page over HTTP/1.0, on port 80 or over TLS on port 443: a HEAD
// probe on one connection, then, when it answered 200, a GET on a second
// connection into the buffer. Every call goes through the sockets it is
// given, and for https through the TLS port over them.

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "base/SocketApi.h"
#include "base/TlsApi.h"
#include "core/ResponseBuffer.h"

namespace quillo {

enum class Scheme { kHttp, kHttps };

struct Address {
  Scheme scheme;
  std::string_view host;
  std::string_view path;
};

// Fetches the page into the buffer and returns its status, 200. An http
// probe answered with a move to the same address over https (MovedToHttps)
// is followed once. fetchedOver, when given, is set to the scheme of the last
// exchange. Every page not had raises Error, naming the page: an address
// that begins with neither "http://" nor "https://" (before any network
// traffic), a probe or GET answered with anything but 200, a body shorter
// than its Content-Length, a failed socket call or TLS, a host that cannot
// be resolved.
int HttpGetUrl(net::SocketApi& sockets, net::TlsApi& tls, std::string_view url,
               ResponseBuffer& buffer, Scheme* fetchedOver = nullptr);

// Scheme, host and path of an "http://" or "https://" address, split at the
// first "/" behind the scheme (path "/" when there is none); nullopt without
// one of the exact schemes. Nothing else is interpreted: a port or user part
// stays in the host.
std::optional<Address> SplitAddress(std::string_view url);

// As HttpGetUrl for an address already split. Every error leaves as a plain
// Error with its message, every socket closed first.
int HttpGetPath(net::SocketApi& sockets, net::TlsApi& tls, const Address& address,
                ResponseBuffer& buffer, Scheme* fetchedOver = nullptr);

// Whether an http probe's first received bytes answer 301, 302, 307 or 308
// with a Location header that is exactly "https://" + host + path.
bool MovedToHttps(std::string_view probe, std::string_view host, std::string_view path);

// The host's first IPv4 address, network byte order. Dotted literals go
// through a reverse lookup. Raises "[host] IS INVALID ADDRSS.".
std::uint32_t ResolveHost(net::SocketApi& sockets, std::string_view host);

bool IsIpAddress(std::string_view text);
bool IsByteValue(std::string_view text);

// The status code read from the first received bytes of a response, or -1:
// the text between the first space of the status line and the next space or
// the line's end.
int ReadStatus(std::string_view response);

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
