#include "core/Http.h"

#include <array>
#include <cstring>
#include <new>
#include <string>

#include "base/Error.h"
#include "core/TextRules.h"

namespace quillo {
namespace {

constexpr std::string_view kScheme = "http://";
constexpr std::uint16_t kHttpPort = 80;
constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu;
constexpr std::size_t kReceiveSize = 1025;
constexpr std::string_view kSendStalled = "The connection accepted no more of the request";

// The system's text for the thread's last socket error, read now.
[[noreturn]] void RaiseLastError(net::SocketApi& api) {
  const int code = api.lastError();
  throw Error(text::TrimMessageTail(api.errorText(code)));
}

// Owns one socket for the time of one exchange. Failure paths close it
// explicitly before the error code is read, as the system may reuse the
// code's slot; the destructor covers every other way out.
class Connection {
 public:
  explicit Connection(net::SocketApi& api) : api_(api), socket_(api.openStream()) {
    if (socket_ == net::kInvalidSocket) RaiseLastError(api_);
  }
  ~Connection() { close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void close() {
    if (socket_ != net::kInvalidSocket) api_.close(socket_);
    socket_ = net::kInvalidSocket;
  }

  [[noreturn]] void fail() {
    close();
    RaiseLastError(api_);
  }

  void connect(std::uint32_t address) {
    if (api_.connect(socket_, address, kHttpPort) != 0) fail();
  }

  // The whole request goes out; a send that takes part of it is continued.
  // A send that takes nothing would be retried for ever, so it ends the
  // exchange instead.
  void sendAll(std::string_view request) {
    while (!request.empty()) {
      const long sent = api_.send(socket_, request.data(), request.size());
      if (sent < 0) fail();
      if (sent == 0) {
        close();
        throw Error(std::string(kSendStalled));
      }
      request.remove_prefix(static_cast<std::size_t>(sent));
    }
  }

  // One receive into a zeroed area; 0 when the peer closed. A failed
  // receive is an error: a cut page must not pass for a whole one.
  long receive(std::array<char, kReceiveSize>& area) {
    area.fill('\0');
    const long got = api_.recv(socket_, area.data(), area.size());
    if (got < 0) fail();
    return got;
  }

 private:
  net::SocketApi& api_;
  net::SocketHandle socket_;
};

int GetPath(net::SocketApi& api, std::string_view host, std::string_view path,
            ResponseBuffer& buffer) {
  std::array<char, kReceiveSize> area{};

  Connection probe(api);
  const std::uint32_t address = ResolveHost(api, host);
  probe.connect(address);
  probe.sendAll(text::Format("HEAD %s HTTP/1.0\r\n\r\n", {path}));
  const long got = probe.receive(area);
  std::string_view head;
  if (got > 0)
    head = text::VisiblePart(std::string_view(area.data(), static_cast<std::size_t>(got)));
  const int status = ReadStatus(head);
  probe.close();
  if (status != 200) return status;

  Connection get(api);
  get.connect(address);
  get.sendAll(text::Format("GET %s HTTP/1.0\r\n\r\n", {path}));
  for (;;) {
    const long n = get.receive(area);
    if (n == 0) break;
    buffer.append(area.data(), static_cast<std::size_t>(n));
  }
  get.close();
  return status;
}

}  // namespace

std::optional<std::pair<std::string_view, std::string_view>> SplitAddress(std::string_view url) {
  if (url.substr(0, kScheme.size()) != kScheme) return std::nullopt;
  const std::string_view rest = url.substr(kScheme.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::pair{rest, std::string_view("/")};
  return std::pair{rest.substr(0, slash), rest.substr(slash)};
}

int HttpGetUrl(net::SocketApi& sockets, std::string_view url, ResponseBuffer& buffer) {
  const auto address = SplitAddress(url);
  if (!address) return -1;
  return HttpGetPath(sockets, address->first, address->second, buffer);
}

int HttpGetPath(net::SocketApi& sockets, std::string_view host, std::string_view path,
                ResponseBuffer& buffer) {
  // Callers see one kind of error carrying the message only.
  try {
    return GetPath(sockets, host, path, buffer);
  } catch (const std::bad_alloc&) {
    throw Error("Out of memory");
  } catch (const std::exception& e) {
    throw Error(e.what());
  }
}

bool IsByteValue(std::string_view text) {
  const auto value = text::TextToInt(text);
  return value && *value >= 0 && *value <= 255;
}

bool IsIpAddress(std::string_view text) {
  if (text.size() != text::DeleteAll(text, ".").size() + 3) return false;
  std::string_view rest = text;
  for (int part = 0; part < 3; ++part) {
    const std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos || !IsByteValue(rest.substr(0, dot))) return false;
    rest.remove_prefix(dot + 1);
  }
  return IsByteValue(rest);
}

std::uint32_t ResolveHost(net::SocketApi& api, std::string_view host) {
  const std::string name(host);
  std::optional<std::uint32_t> address;
  if (IsIpAddress(host)) {
    const std::uint32_t literal = api.inetAddr(name);
    if (literal != kNoAddress) address = api.hostByAddr(literal);
  } else {
    address = api.hostByName(name);
  }
  if (!address) throw Error(text::Format("[%s] IS INVALID ADDRSS.", {host}));
  return *address;
}

int ReadStatus(std::string_view probe) {
  const std::size_t first = probe.find(' ');
  if (first == std::string_view::npos) return -1;
  const std::string_view rest = probe.substr(first + 1);
  const std::size_t second = rest.find(' ');
  if (second == std::string_view::npos) return -1;
  return text::TextToInt(rest.substr(0, second)).value_or(-1);
}

void HttpStartup(net::SocketApi& sockets) { sockets.startup(0x0101); }

void HttpCleanup(net::SocketApi& sockets) { sockets.cleanup(); }

}  // namespace quillo
