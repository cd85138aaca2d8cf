// The fetch over the real Winsock, on loopback: start-up and release, the
// request bytes, and the system's texts for refused and reset connections.

#include <winsock2.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <optional>

#include "base/Error.h"
#include "core/Http.h"
#include "platform/Codepage.h"
#include "platform/Sockets.h"
#include "platform/Tls.h"
#include "support/LoopbackSite.h"

namespace quillo {
namespace {

using testing::LoopbackSockets;
using testing::Reply;
using testing::TestServer;

const std::string kOk = "HTTP/1.0 200 OK\r\n\r\n";

// What the user should read for code: the system's text as FormatMessageW
// gives it, in CP932, trimmed.
std::string SystemMessage(DWORD code) {
  wchar_t text[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, 1024, nullptr);
  const std::u16string wide(reinterpret_cast<const char16_t*>(text), length);
  return TrimMessageTail(cp932::FromUtf16(wide));
}

std::string MessageOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.message();
  }
  ADD_FAILURE() << "no error was raised";
  return {};
}

// A loopback port on which nothing listens.
std::uint16_t ClosedPort() {
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int length = sizeof addr;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &length);
  ::closesocket(s);
  return ntohs(addr.sin_port);
}

TEST(WinsockLibrary, SocketsWorkBetweenHttpStartupAndHttpCleanup) {
  net::SocketApi& api = net::SystemSockets();
  ASSERT_EQ(api.openStream(), net::kInvalidSocket) << "Winsock was already started";
  EXPECT_EQ(api.lastError(), WSANOTINITIALISED);

  HttpStartup(net::SystemSockets());
  const net::SocketHandle s = api.openStream();
  EXPECT_NE(s, net::kInvalidSocket);
  EXPECT_EQ(api.close(s), 0);
  HttpCleanup(net::SystemSockets());

  EXPECT_EQ(api.openStream(), net::kInvalidSocket);
  EXPECT_EQ(api.lastError(), WSANOTINITIALISED);
}

class WinsockFetch : public ::testing::Test {
 protected:
  void SetUp() override { HttpStartup(net::SystemSockets()); }
  void TearDown() override {
    if (api_) {
      EXPECT_EQ(api_->openSockets(), 0) << "a socket was left open";
    }
    api_.reset();
    server_.reset();
    HttpCleanup(net::SystemSockets());
  }
  void serve(std::vector<Reply> replies) {
    server_.emplace(std::move(replies));
    api_.emplace(server_->port());
  }

  std::optional<TestServer> server_;
  std::optional<LoopbackSockets> api_;
  ResponseBuffer buffer_;
};

TEST_F(WinsockFetch, HeadThenGetWithTheExactRequestBytes) {
  std::string page = kOk + "<html>";
  for (int i = 0; i < 300000; ++i) page.push_back(static_cast<char>(i * 13 % 256));
  serve({{kOk}, {page, 1500}});
  EXPECT_EQ(
      HttpGetUrl(*api_, net::SystemTls(), "http://localhost/servlet/list?q=a%20b#top", buffer_),
      200);
  EXPECT_EQ(server_->requests(),
            (std::vector<std::string>{"HEAD /servlet/list?q=a%20b#top HTTP/1.0\r\n\r\n",
                                      "GET /servlet/list?q=a%20b#top HTTP/1.0\r\n\r\n"}));
  EXPECT_EQ(api_->connectedPorts(), (std::vector<std::uint16_t>{80, 80}));
  ASSERT_EQ(buffer_.size(), page.size());
  EXPECT_TRUE(buffer_.text() == page);
}

TEST_F(WinsockFetch, ProbeOtherThan200EndsAfterTheFirstConnection) {
  serve({{"HTTP/1.0 404 Not Found\r\n\r\n"}, {kOk + "never"}});
  EXPECT_EQ(MessageOf([&] { HttpGetUrl(*api_, net::SystemTls(), "http://localhost/", buffer_); }),
            "The server answered \"404 Not Found\" for http://localhost/");
  EXPECT_EQ(server_->requests(), std::vector<std::string>{"HEAD / HTTP/1.0\r\n\r\n"});
  EXPECT_TRUE(buffer_.empty());
}

TEST_F(WinsockFetch, DottedLiteralGoesThroughTheReverseLookup) {
  serve({{kOk}, {kOk + "x"}});
  EXPECT_EQ(HttpGetUrl(*api_, net::SystemTls(), "http://127.0.0.1/", buffer_), 200);
  EXPECT_EQ(buffer_.text(), kOk + "x");
}

TEST_F(WinsockFetch, HostWithAPortIsNoHostName) {
  serve({});
  EXPECT_EQ(
      MessageOf([&] { HttpGetUrl(*api_, net::SystemTls(), "http://localhost:8080/x", buffer_); }),
      "[localhost:8080] IS INVALID ADDRSS.");
  EXPECT_TRUE(api_->connectedPorts().empty());
}

TEST_F(WinsockFetch, RefusedConnectionReportsTheSystemText) {
  const std::string expected = SystemMessage(WSAECONNREFUSED);
  ASSERT_FALSE(expected.empty()) << "the system has no text for WSAECONNREFUSED";
  serve({});
  LoopbackSockets closed(ClosedPort());
  EXPECT_EQ(MessageOf([&] { HttpGetUrl(closed, net::SystemTls(), "http://localhost/", buffer_); }),
            expected);
  EXPECT_EQ(closed.openSockets(), 0);
  std::cout << "refused: " << cp932::ToUtf8(expected) << "\n";
}

// The server resets the connection as soon as it has the request. (A reset
// after part of a body may reach Wine's receive as a plain end.)
TEST_F(WinsockFetch, ResetConnectionReportsTheSystemText) {
  const std::string expected = SystemMessage(WSAECONNRESET);
  ASSERT_FALSE(expected.empty());
  serve({{"", 0, true}});
  EXPECT_EQ(MessageOf([&] { HttpGetUrl(*api_, net::SystemTls(), "http://localhost/", buffer_); }),
            expected);
}

// The code of a failed connect is read after closesocket: the close must not
// overwrite it with its own success.
TEST_F(WinsockFetch, ClosingTheSocketKeepsTheErrorCode) {
  HttpStartup(net::SystemSockets());
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(ClosedPort());
  ASSERT_NE(::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  EXPECT_EQ(::closesocket(s), 0);
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  HttpCleanup(net::SystemSockets());
}

}  // namespace
}  // namespace quillo
