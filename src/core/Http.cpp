#include "core/Http.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "base/Error.h"
#include "core/TextRules.h"

namespace quillo {
namespace {

constexpr std::string_view kHttpScheme = "http://";
constexpr std::string_view kHttpsScheme = "https://";
constexpr std::uint16_t kHttpPort = 80;
constexpr std::uint16_t kHttpsPort = 443;
constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu;
constexpr std::size_t kReceiveSize = 1025;

// The system's text for the thread's last socket error, read now.
[[noreturn]] void RaiseLastError(net::SocketApi& api) {
  const int code = api.lastError();
  throw Error(TrimMessageTail(api.errorText(code)));
}

// Owns one socket for the time of one exchange, and for https the TLS
// session over it: the requests and answers go through the session then,
// through the socket port otherwise. Failure paths close it explicitly
// before the error code is read, as the system may reuse the code's slot;
// the destructor covers every other way out.
class Connection {
 public:
  explicit Connection(net::SocketApi& api) : api_(api), socket_(api.openStream()) {
    if (socket_ == net::kInvalidSocket) RaiseLastError(api_);
  }
  ~Connection() { close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void close() {
    session_.reset();
    if (socket_ != net::kInvalidSocket) api_.close(socket_);
    socket_ = net::kInvalidSocket;
  }

  [[noreturn]] void fail() {
    // The TLS session's release may set the thread's last error (Windows):
    // it is released as the error leaves, after the code is read.
    const auto session = std::move(session_);
    close();
    RaiseLastError(api_);
  }

  // Connects to the scheme's port; for https the handshake and the check of
  // the peer's certificate follow before anything is sent.
  void open(std::uint32_t ip, const Address& address, net::TlsApi& tls) {
    const bool secure = address.scheme == Scheme::kHttps;
    if (api_.connect(socket_, ip, secure ? kHttpsPort : kHttpPort) != 0) fail();
    if (secure) session_ = tls.connect(api_, socket_, std::string(address.host));
  }

  // The whole request goes out; a send that takes part of it is continued.
  // A send that takes nothing would be retried for ever, so it ends the
  // exchange instead.
  void sendAll(std::string_view request) {
    while (!request.empty()) {
      const long sent = session_ ? session_->send(request.data(), request.size())
                                 : api_.send(socket_, request.data(), request.size());
      if (sent < 0) fail();
      if (sent == 0) {
        close();
        throw Error(net::kSendStalled);
      }
      request.remove_prefix(static_cast<std::size_t>(sent));
    }
  }

  // One receive into a zeroed area; 0 when the peer closed. A failed
  // receive is an error: a cut page must not pass for a whole one.
  long receive(std::array<char, kReceiveSize>& area) {
    area.fill('\0');
    const long got = session_ ? session_->recv(area.data(), area.size())
                              : api_.recv(socket_, area.data(), area.size());
    if (got < 0) fail();
    return got;
  }

 private:
  net::SocketApi& api_;
  net::SocketHandle socket_;
  std::unique_ptr<net::TlsSession> session_;
};

// Plain http requests carry no header at all. Over TLS the server picks the
// site by Host (nginx answers a request without it from its default site,
// whatever name the handshake gave), so https requests carry that one.
std::string Request(std::string_view method, const Address& address) {
  if (address.scheme == Scheme::kHttp) {
    return text::Format("%s %s HTTP/1.0\r\n\r\n", {method, address.path});
  }
  return text::Format("%s %s HTTP/1.0\r\nHost: %s\r\n\r\n", {method, address.path, address.host});
}

bool IsMoveStatus(int status) {
  return status == 301 || status == 302 || status == 307 || status == 308;
}

// Calls visit with each header line of a response (behind the status line,
// without its line break) up to the blank line, and returns where the body
// begins: npos when the blank line is not within the text. A line that does
// not end within the text may be cut short: it is not visited.
template <typename Visit>
std::size_t ReadHeaders(std::string_view response, Visit visit) {
  std::size_t end = response.find('\n');
  while (end != std::string_view::npos) {
    const std::size_t start = end + 1;
    end = response.find('\n', start);
    if (end == std::string_view::npos) break;
    std::string_view line = response.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return end + 1;
    visit(line);
  }
  return std::string_view::npos;
}

// The value of line when it is the header called name (letter case
// ignored), without the blanks around it.
std::optional<std::string_view> FieldValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':' ||
      !text::StartsTextIgnoreCase(line, name)) {
    return std::nullopt;
  }
  std::string_view value = line.substr(name.size() + 1);
  const std::size_t first = value.find_first_not_of(" \t");
  value = first == std::string_view::npos ? std::string_view() : value.substr(first);
  return value.substr(0, value.find_last_not_of(" \t") + 1);
}

// The value of the first header called name.
std::optional<std::string_view> HeaderValue(std::string_view response, std::string_view name) {
  std::optional<std::string_view> found;
  ReadHeaders(response, [&](std::string_view line) {
    if (!found) found = FieldValue(line, name);
  });
  return found;
}

std::string PageAddress(const Address& address) {
  return std::string(address.scheme == Scheme::kHttps ? kHttpsScheme : kHttpScheme) +
         std::string(address.host) + std::string(address.path);
}

// A server's words in a message, cut to a length a message box can show.
std::string_view Quoted(std::string_view words) { return words.substr(0, 200); }

// A page the server did not give: its status line as sent (what follows the
// protocol name) and, for a move, where to.
[[noreturn]] void RaiseNotGiven(std::string_view response, const Address& address) {
  std::string_view line = response.substr(0, response.find_first_of("\r\n"));
  if (line.empty()) {
    throw Error(text::Format("The server gave no answer for %s", {PageAddress(address)}));
  }
  if (const std::size_t space = line.find(' '); space != std::string_view::npos) {
    line.remove_prefix(space + 1);
  }
  std::string message =
      text::Format("The server answered \"%s\" for %s", {Quoted(line), PageAddress(address)});
  if (const auto location = HeaderValue(response, "Location")) {
    message += text::Format(" (Location: %s)", {Quoted(*location)});
  }
  throw Error(message);
}

// The server's close ends a page, but where the headers announce a length a
// close before it is a page cut half way, not a whole one.
void CheckComplete(std::string_view response, const Address& address) {
  std::optional<std::string_view> announced;
  const std::size_t bodyStart = ReadHeaders(response, [&](std::string_view line) {
    if (!announced) announced = FieldValue(line, "Content-Length");
  });
  if (bodyStart == std::string_view::npos) {
    throw Error(text::Format("%s ended before its headers did", {PageAddress(address)}));
  }
  if (!announced || announced->empty() ||
      announced->find_first_not_of("0123456789") != std::string_view::npos) {
    return;
  }
  // Capped past the bound: no more than that can have arrived.
  std::uint64_t wanted = 0;
  for (const char digit : *announced) {
    wanted = std::min<std::uint64_t>(wanted * 10 + static_cast<std::uint64_t>(digit - '0'),
                                     ResponseBuffer::kMaxSize + 1);
  }
  const std::size_t got = response.size() - bodyStart;
  if (got < wanted) {
    throw Error(text::Format("%s ended after %s of %s bytes",
                             {PageAddress(address), std::to_string(got), *announced}));
  }
}

int GetPath(net::SocketApi& api, net::TlsApi& tls, Address address, ResponseBuffer& buffer,
            Scheme* fetchedOver) {
  std::array<char, kReceiveSize> area{};
  std::optional<std::uint32_t> ip;
  std::string_view head;

  // The probe, once more over https when the site moved the address there.
  int status = -1;
  for (;;) {
    Connection probe(api);
    if (!ip) ip = ResolveHost(api, address.host);
    probe.open(*ip, address, tls);
    probe.sendAll(Request("HEAD", address));
    const long got = probe.receive(area);
    head = {};
    if (got > 0)
      head = text::VisiblePart(std::string_view(area.data(), static_cast<std::size_t>(got)));
    status = ReadStatus(head);
    probe.close();
    if (address.scheme == Scheme::kHttps || !MovedToHttps(head, address.host, address.path)) break;
    address.scheme = Scheme::kHttps;
  }
  if (fetchedOver != nullptr) *fetchedOver = address.scheme;
  if (status != 200) RaiseNotGiven(head, address);

  Connection get(api);
  get.open(*ip, address, tls);
  get.sendAll(Request("GET", address));
  for (;;) {
    const long n = get.receive(area);
    if (n == 0) break;
    buffer.append(area.data(), static_cast<std::size_t>(n));
  }
  get.close();
  // The page may have changed since the probe.
  if (ReadStatus(buffer.text()) != 200) RaiseNotGiven(buffer.text(), address);
  CheckComplete(buffer.text(), address);
  return status;
}

}  // namespace

std::optional<Address> SplitAddress(std::string_view url) {
  Address address{Scheme::kHttp, {}, "/"};
  std::string_view rest;
  if (url.substr(0, kHttpScheme.size()) == kHttpScheme) {
    rest = url.substr(kHttpScheme.size());
  } else if (url.substr(0, kHttpsScheme.size()) == kHttpsScheme) {
    address.scheme = Scheme::kHttps;
    rest = url.substr(kHttpsScheme.size());
  } else {
    return std::nullopt;
  }
  const std::size_t slash = rest.find('/');
  address.host = rest.substr(0, slash);
  if (slash != std::string_view::npos) address.path = rest.substr(slash);
  return address;
}

int HttpGetUrl(net::SocketApi& sockets, net::TlsApi& tls, std::string_view url,
               ResponseBuffer& buffer, Scheme* fetchedOver) {
  const auto address = SplitAddress(url);
  if (!address) throw Error("The address must begin with http:// or https://");
  return HttpGetPath(sockets, tls, *address, buffer, fetchedOver);
}

int HttpGetPath(net::SocketApi& sockets, net::TlsApi& tls, const Address& address,
                ResponseBuffer& buffer, Scheme* fetchedOver) {
  // Callers see one kind of error carrying the message only.
  try {
    return GetPath(sockets, tls, address, buffer, fetchedOver);
  } catch (const std::bad_alloc&) {
    throw Error("Out of memory");
  } catch (const std::exception& e) {
    throw Error(e.what());
  }
}

bool MovedToHttps(std::string_view probe, std::string_view host, std::string_view path) {
  if (!IsMoveStatus(ReadStatus(probe))) return false;
  const auto value = HeaderValue(probe, "Location");
  return value && value->size() == kHttpsScheme.size() + host.size() + path.size() &&
         value->substr(0, kHttpsScheme.size()) == kHttpsScheme &&
         value->substr(kHttpsScheme.size(), host.size()) == host &&
         value->substr(kHttpsScheme.size() + host.size()) == path;
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

int ReadStatus(std::string_view response) {
  // The code stands between the status line's first space and the next
  // space or the line's end. Without either, the line may go on in bytes
  // that have not arrived.
  const std::size_t first = response.find_first_of(" \r\n");
  if (first == std::string_view::npos || response[first] != ' ') return -1;
  const std::string_view rest = response.substr(first + 1);
  const std::size_t end = rest.find_first_of(" \r\n");
  if (end == std::string_view::npos) return -1;
  return text::TextToInt(rest.substr(0, end)).value_or(-1);
}

void HttpStartup(net::SocketApi& sockets) { sockets.startup(0x0101); }

void HttpCleanup(net::SocketApi& sockets) { sockets.cleanup(); }

}  // namespace quillo
