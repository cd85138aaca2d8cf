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

// Status of the probe; -1 without any network traffic when url begins with
// neither "http://" nor "https://". An http probe answered with a move to
// the same address over https (MovedToHttps) is followed once. fetchedOver,
// when given, is set to the scheme of the last exchange. Raises Error when a
// socket call or TLS fails or the host cannot be resolved.
int HttpGetUrl(net::SocketApi& sockets, net::TlsApi& tls, std::string_view url,
               ResponseBuffer& buffer, Scheme* fetchedOver = nullptr);

// Scheme, host and path of an "http://" or "https://" address, split at the
// first "/" behind the scheme (path "/" when there is none); nullopt without
// one of the exact schemes. Nothing else is interpreted: a port or user part
// stays in the host.
std::optional<Address> SplitAddress(std::string_view url);

// The probe's status; the buffer is filled only when it is 200. Every error
// leaves as a plain Error with its message, every socket closed first.
// fetchedOver as for HttpGetUrl.
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
