#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "base/Error.h"
#include "core/Http.h"
#include "platform/Sockets.h"
#include "platform/Tls.h"
#include "support/LoopbackSite.h"

namespace quillo {
namespace {

using testing::LoopbackSockets;
using testing::Reply;
using testing::TestServer;

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";

std::string MessageOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.message();
  }
  ADD_FAILURE() << "no error was raised";
  return {};
}

class HttpFetch : public ::testing::Test {
 protected:
  void serve(std::vector<Reply> replies) {
    server_.emplace(std::move(replies));
    api_.emplace(server_->port());
  }
  void TearDown() override {
    if (api_) {
      EXPECT_EQ(api_->openSockets(), 0) << "a socket was left open";
    }
  }

  std::optional<TestServer> server_;
  std::optional<LoopbackSockets> api_;
  ResponseBuffer buffer_;
};

TEST_F(HttpFetch, ProbesWithHeadThenFetchesWithGetOnASecondConnection) {
  const std::string page = kOk + "<html>page</html>";
  serve({{kOk}, {page}});
  EXPECT_EQ(
      HttpGetUrl(*api_, net::SystemTls(), "http://localhost/servlet/list?q=a%20b&p=2#top", buffer_),
      200);
  EXPECT_EQ(server_->requests(),
            (std::vector<std::string>{"HEAD /servlet/list?q=a%20b&p=2#top HTTP/1.0\r\n\r\n",
                                      "GET /servlet/list?q=a%20b&p=2#top HTTP/1.0\r\n\r\n"}));
  EXPECT_EQ(api_->connectedPorts(), (std::vector<std::uint16_t>{80, 80}));
  EXPECT_EQ(buffer_.text(), page);
}

TEST_F(HttpFetch, HostWithoutPathRequestsTheRoot) {
  serve({{kOk}, {kOk}});
  EXPECT_EQ(HttpGetUrl(*api_, net::SystemTls(), "http://localhost", buffer_), 200);
  EXPECT_EQ(server_->requests()[0], "HEAD / HTTP/1.0\r\n\r\n");
  EXPECT_EQ(server_->requests()[1], "GET / HTTP/1.0\r\n\r\n");
}

TEST_F(HttpFetch, AddressesWithoutTheExactSchemeAreErrorsThatSendNothing) {
  serve({});
  for (const char* url : {"", "HTTP://localhost/", " http://localhost/", "HTTPS://localhost/",
                          "http:/localhost/", "localhost/", "htp://localhost/"}) {
    EXPECT_EQ(MessageOf([&] { HttpGetUrl(*api_, net::SystemTls(), url, buffer_); }),
              "The address must begin with http:// or https://")
        << url;
  }
  EXPECT_TRUE(server_->requests().empty());
  EXPECT_TRUE(api_->connectedPorts().empty());
}

TEST_F(HttpFetch, EveryBodyByteArrivesIncludingZeroBytes) {
  std::string body = kOk;
  for (int i = 0; i < 3 * 1024 * 1024; ++i) body.push_back(static_cast<char>(i * 7 % 256));
  body[kOk.size() + 5] = '\0';
  serve({{kOk}, {body, 1000}});
  EXPECT_EQ(HttpGetUrl(*api_, net::SystemTls(), "http://localhost/big", buffer_), 200);
  ASSERT_EQ(buffer_.size(), body.size());
  EXPECT_TRUE(buffer_.text() == body);
}

TEST_F(HttpFetch, ResetInTheMiddleOfTheBodyIsAnErrorNotAShortPage) {
  serve({{kOk}, {kOk + std::string(200000, 'x'), 4096, true}});
  EXPECT_EQ(MessageOf([&] { HttpGetUrl(*api_, net::SystemTls(), "http://localhost/", buffer_); }),
            "Connection reset by peer");
}

TEST_F(HttpFetch, ResetProbeIsAnError) {
  serve({{"", 0, true}});
  EXPECT_EQ(MessageOf([&] { HttpGetUrl(*api_, net::SystemTls(), "http://localhost/", buffer_); }),
            "Connection reset by peer");
}

TEST_F(HttpFetch, RefusedConnectionReportsTheSystemText) {
  serve({});
  LoopbackSockets closedPort(1);  // nothing listens on port 1
  EXPECT_EQ(
      MessageOf([&] { HttpGetUrl(closedPort, net::SystemTls(), "http://localhost/", buffer_); }),
      "Connection refused");
  EXPECT_EQ(closedPort.openSockets(), 0);
}

TEST_F(HttpFetch, HostThatCannotBeResolvedClosesTheProbeSocket) {
  serve({});
  EXPECT_EQ(
      MessageOf([&] { HttpGetUrl(*api_, net::SystemTls(), "http://localhost:8080/x", buffer_); }),
      "[localhost:8080] IS INVALID ADDRSS.");
  EXPECT_EQ(MessageOf([&] {
              HttpGetUrl(*api_, net::SystemTls(), "http://no-such-host.invalid", buffer_);
            }),
            "[no-such-host.invalid] IS INVALID ADDRSS.");
  const auto broadcast = [&] {
    HttpGetPath(*api_, net::SystemTls(), {Scheme::kHttp, "255.255.255.255", "/"}, buffer_);
  };
  EXPECT_EQ(MessageOf(broadcast), "[255.255.255.255] IS INVALID ADDRSS.");
  EXPECT_TRUE(api_->connectedPorts().empty());
}

TEST_F(HttpFetch, DottedLiteralGoesThroughTheReverseLookup) {
  serve({{kOk}, {kOk + "x"}});
  EXPECT_EQ(HttpGetUrl(*api_, net::SystemTls(), "http://127.0.0.1/", buffer_), 200);
  EXPECT_EQ(buffer_.text(), kOk + "x");
}

// Makes chosen calls fail with a chosen error code, as a system would.
class FaultySockets : public LoopbackSockets {
 public:
  using LoopbackSockets::LoopbackSockets;
  int failOpen = 0, failConnect = 0, failSend = 0, failRecv = 0;
  int closeSetsError = 0;  // what the last-error slot holds after a close
  std::size_t sendLimit = 0;
  bool sendTakesNothing = false;
  std::vector<std::string> calls;

  net::SocketHandle openStream() override {
    calls.push_back("open");
    if (failOpen) return fail(failOpen, net::kInvalidSocket);
    return LoopbackSockets::openStream();
  }
  int connect(net::SocketHandle s, std::uint32_t a, std::uint16_t p) override {
    calls.push_back("connect");
    if (failConnect) return fail(failConnect, -1);
    return LoopbackSockets::connect(s, a, p);
  }
  long send(net::SocketHandle s, const char* d, std::size_t n) override {
    calls.push_back("send");
    if (failSend) return fail(failSend, -1L);
    if (sendTakesNothing) return 0;
    return LoopbackSockets::send(s, d, sendLimit ? std::min(n, sendLimit) : n);
  }
  long recv(net::SocketHandle s, char* d, std::size_t n) override {
    calls.push_back("recv");
    if (failRecv) return fail(failRecv, -1L);
    return LoopbackSockets::recv(s, d, n);
  }
  int close(net::SocketHandle s) override {
    calls.push_back("close");
    const int r = LoopbackSockets::close(s);
    if (closeSetsError) errno = closeSetsError;
    return r;
  }
  int lastError() override {
    calls.push_back("lastError");
    return LoopbackSockets::lastError();
  }

 private:
  template <typename T>
  T fail(int code, T result) {
    errno = code;
    return result;
  }
};

class HttpFaults : public ::testing::Test {
 protected:
  HttpFaults() : server_({{kOk}, {kOk + "body"}}), api_(server_.port()) {}
  std::string fetchError() {
    return MessageOf([&] { HttpGetUrl(api_, net::SystemTls(), "http://localhost/p", buffer_); });
  }
  TestServer server_;
  FaultySockets api_;
  ResponseBuffer buffer_;
};

TEST_F(HttpFaults, SocketFailureReportsTheSystemText) {
  api_.failOpen = EMFILE;
  EXPECT_EQ(fetchError(), "Too many open files");
  EXPECT_EQ(api_.calls, (std::vector<std::string>{"open", "lastError"}));
}

TEST_F(HttpFaults, ConnectAndSendFailuresCloseTheSocketBeforeTheCodeIsRead) {
  api_.failConnect = ECONNREFUSED;
  EXPECT_EQ(fetchError(), "Connection refused");
  EXPECT_EQ(api_.calls, (std::vector<std::string>{"open", "connect", "close", "lastError"}));
  EXPECT_EQ(api_.openSockets(), 0);

  api_.failConnect = 0;
  api_.failSend = EPIPE;
  api_.calls.clear();
  EXPECT_EQ(fetchError(), "Broken pipe");
  EXPECT_EQ(api_.calls,
            (std::vector<std::string>{"open", "connect", "send", "close", "lastError"}));
  EXPECT_EQ(api_.openSockets(), 0);
}

TEST_F(HttpFaults, CodeIsTheOneLeftAfterTheClose) {
  api_.failConnect = ECONNREFUSED;
  api_.closeSetsError = EHOSTUNREACH;
  EXPECT_EQ(fetchError(), "No route to host");
}

TEST_F(HttpFaults, FailedReceiveIsAnError) {
  api_.failRecv = ECONNRESET;
  EXPECT_EQ(fetchError(), "Connection reset by peer");
  EXPECT_EQ(api_.openSockets(), 0);
  EXPECT_TRUE(buffer_.empty());
}

TEST_F(HttpFaults, SendThatTakesNothingEndsTheExchangeInsteadOfLooping) {
  api_.sendTakesNothing = true;
  EXPECT_EQ(fetchError(), "The connection accepted no more of the request");
  EXPECT_EQ(api_.calls, (std::vector<std::string>{"open", "connect", "send", "close"}));
  EXPECT_EQ(api_.openSockets(), 0);
}

TEST_F(HttpFaults, PartialSendsAreContinuedUntilTheWholeRequestIsOut) {
  api_.sendLimit = 3;
  EXPECT_EQ(HttpGetUrl(api_, net::SystemTls(), "http://localhost/servlet/abc", buffer_), 200);
  EXPECT_EQ(server_.requests()[0], "HEAD /servlet/abc HTTP/1.0\r\n\r\n");
  EXPECT_EQ(server_.requests()[1], "GET /servlet/abc HTTP/1.0\r\n\r\n");
  EXPECT_EQ(buffer_.text(), kOk + "body");
}

TEST(HttpStatus, ReadsTheCodeBehindTheFirstSpaceOfTheStatusLine) {
  const std::pair<const char*, int> cases[] = {
      {"HTTP/1.0 200 OK\r\n", 200},
      {"HTTP/1.1 404 Not Found\r\n", 404},
      {"HTTP/1.0 200\r\n\r\n", 200},  // no reason phrase
      {"HTTP/1.0 200\n", 200},
      {"HTTP/1.0 200", -1},  // the line may go on
      {"HTTP/1.0\r\nServer: a 200 b\r\n", -1},
      {"HTTP/1.0  200 OK", -1},   // empty status text
      {"HTTP/1.0 +200 OK", 200},  // sign allowed by the number rule
      {"HTTP/1.0 $C8 OK", 200},   // hexadecimal too
      {"HTTP/1.0 0x12C OK", 300},
      {"", -1},
      {"garbage", -1},
  };
  for (const auto& [probe, status] : cases) EXPECT_EQ(ReadStatus(probe), status) << probe;
}

TEST(HttpAddressTest, DottedLiteralsNeedFourByteValues) {
  const std::pair<const char*, bool> cases[] = {
      {"127.0.0.1", true},  {"0.0.0.0", true},     {"255.255.255.255", true},
      {"1.2.3.256", false}, {"1.2.3", false},      {"1.2.3.4.5", false},
      {"a.b.c.d", false},   {" 1.+2.$3.x4", true}, {"1..2.3", false},
      {"1.2.3.4 ", false},  {"-1.2.3.4", false},   {"listings.example", false},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(IsIpAddress(text), expected) << text;
  EXPECT_TRUE(IsByteValue("0"));
  EXPECT_TRUE(IsByteValue("$FF"));
  EXPECT_FALSE(IsByteValue("256"));
  EXPECT_FALSE(IsByteValue(""));
}

TEST(HttpResolve, NamesAndLiterals) {
  EXPECT_EQ(ResolveHost(net::SystemSockets(), "localhost"), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(ResolveHost(net::SystemSockets(), "127.0.0.1"), htonl(INADDR_LOOPBACK));
  EXPECT_THROW(ResolveHost(net::SystemSockets(), "host.invalid"), Error);
}

}  // namespace
}  // namespace quillo
