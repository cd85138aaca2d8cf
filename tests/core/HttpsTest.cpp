// https against the loopback site's TLS side, with the system's TLS and
// throw-away certificates: the request bytes, the move from http, a refusal.

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/Error.h"
#include "core/DownloadRun.h"
#include "core/Http.h"
#include "core/SiteRoot.h"
#include "platform/Tls.h"
#include "support/LoopbackSite.h"
#include "support/Pages.h"
#include "support/TlsServer.h"

namespace quillo {
namespace {

using testing::Anchor;
using testing::kHeadOk;
using testing::LoopbackSockets;
using testing::MakeServerTls;
using testing::Page;
using testing::Reply;
using testing::ServePages;
using testing::TestServer;
using testing::TlsCounts;

const std::string kHost(kSiteRoot.substr(7));
const std::string kCerts = QUILLO_TEST_CERTS;

std::string Request(const char* method, const std::string& path) {
  return std::string(method) + " " + path + " HTTP/1.0\r\nHost: " + kHost + "\r\n\r\n";
}

class NullView : public RunView {
 public:
  std::string url;
  std::vector<std::string> lines;
  std::string urlText() override { return url; }
  void setStatus(std::string_view) override {}
  void clearLines() override {}
  void appendLine(std::string_view line) override { lines.emplace_back(line); }
};

class Https : public ::testing::Test {
 protected:
  // Only the test CA is trusted, never the machine's store.
  void SetUp() override {
    setenv("SSL_CERT_FILE", (kCerts + "/ca.pem").c_str(), 1);
    setenv("SSL_CERT_DIR", kCerts.c_str(), 1);
  }
  static TestServer Secure(std::vector<Reply> replies, const std::string& name = "site") {
    return TestServer(std::move(replies),
                      MakeServerTls(kCerts + "/" + name + ".pem", kCerts + "/" + name + ".key"));
  }
  std::string fetchError(LoopbackSockets& sockets, const std::string& url) {
    try {
      HttpGetUrl(sockets, net::SystemTls(), url, buffer_);
    } catch (const Error& e) {
      return e.message();
    }
    return "no error";
  }

  ResponseBuffer buffer_;
};

TEST_F(Https, RunSendsHostOverTlsAndBuildsFurtherPagesOnHttps) {
  const std::string first = Page({Anchor("/servlet/p2", "2")}, {"a1"});
  TestServer server = Secure(ServePages({first, Page({}, {"b1"})}));
  LoopbackSockets sockets(server.port(), {kHost});
  NullView view;
  view.url = "https://" + kHost + "/servlet/p1?q=a";
  PageLinkList links;
  DownloadRun(view, links, sockets, net::SystemTls());
  EXPECT_EQ(view.lines, (std::vector<std::string>{"a1", "b1"}));
  EXPECT_EQ(links, PageLinkList{std::string(kHttpsSiteRoot) + "/servlet/p2"});
  EXPECT_EQ(server.requests(),
            (std::vector<std::string>{
                Request("HEAD", "/servlet/p1?q=a"), Request("GET", "/servlet/p1?q=a"),
                Request("HEAD", "/servlet/p2"), Request("GET", "/servlet/p2")}));
  EXPECT_EQ(sockets.connectedPorts(), (std::vector<std::uint16_t>(4, 443)));
  EXPECT_EQ(sockets.openSockets(), 0);
}

// One full handshake per run: every later connection resumes a session.
TEST_F(Https, RunsConnectionsShareOneContextAndResumeSessions) {
  const std::string first = Page({Anchor("/servlet/p2", "2"), Anchor("/servlet/p3", "3")}, {"a1"});
  auto counts = std::make_shared<TlsCounts>();
  TestServer server(ServePages({first, Page({}, {"b1"}), Page({}, {"c1"})}),
                    MakeServerTls(kCerts + "/site.pem", kCerts + "/site.key", counts));
  LoopbackSockets sockets(server.port(), {kHost});
  NullView view;
  view.url = "https://" + kHost + "/servlet/p1";
  PageLinkList links;
  DownloadRun(view, links, sockets, net::SystemTls());
  EXPECT_EQ(view.lines, (std::vector<std::string>{"a1", "b1", "c1"}));
  EXPECT_EQ(counts->handshakes, 6);
  EXPECT_EQ(counts->resumed, 5);
}

TEST_F(Https, MoveToTheSameAddressOverHttpsIsFollowedOnce) {
  const std::string page = Page({}, {"a1"});
  TestServer plain(
      {{"HTTP/1.1 301 Moved Permanently\r\nLocation: https://" + kHost + "/servlet/p1\r\n\r\n"}});
  // The https side moves it on once more: that is not followed.
  TestServer secure = Secure({{kHeadOk},
                              {page},
                              {"HTTP/1.1 308 Permanent Redirect\r\n"
                               "Location: https://" +
                               kHost + "/x\r\n\r\n"}});
  LoopbackSockets sockets(plain.port(), {kHost});
  sockets.leadSecureTo(secure.port());
  Scheme scheme = Scheme::kHttp;
  EXPECT_EQ(
      HttpGetUrl(sockets, net::SystemTls(), "http://" + kHost + "/servlet/p1", buffer_, &scheme),
      200);
  EXPECT_EQ(scheme, Scheme::kHttps);
  EXPECT_EQ(buffer_.text(), page);
  EXPECT_EQ(plain.requests(), std::vector<std::string>{"HEAD /servlet/p1 HTTP/1.0\r\n\r\n"});
  EXPECT_EQ(secure.requests(), (std::vector<std::string>{Request("HEAD", "/servlet/p1"),
                                                         Request("GET", "/servlet/p1")}));

  buffer_ = ResponseBuffer();
  EXPECT_EQ(fetchError(sockets, "https://" + kHost + "/x"),
            "The server answered \"308 Permanent Redirect\" for https://" + kHost +
                "/x (Location: https://" + kHost + "/x)");
  EXPECT_TRUE(buffer_.empty());
  EXPECT_EQ(sockets.connectedPorts(), (std::vector<std::uint16_t>{80, 443, 443, 443}));
}

TEST_F(Https, SelfSignedCertificateIsRefusedBeforeAnyRequest) {
  TestServer server = Secure({{kHeadOk}}, "self");
  LoopbackSockets sockets(server.port(), {kHost});
  EXPECT_EQ(fetchError(sockets, "https://" + kHost + "/"),
            "The certificate of " + kHost + " is not trusted: self-signed certificate");
  EXPECT_EQ(server.requests(), std::vector<std::string>{""});
  EXPECT_EQ(sockets.openSockets(), 0);
}

TEST_F(Https, CloseWithoutCloseNotifyIsAnErrorNotACutPage) {
  Reply cut{"HTTP/1.0 200 OK\r\n\r\n" + std::string(100000, 'x')};
  cut.cut = true;
  TestServer server = Secure({{kHeadOk}, cut});
  LoopbackSockets sockets(server.port(), {kHost});
  EXPECT_EQ(fetchError(sockets, "https://" + kHost + "/"),
            "The TLS connection to " + kHost + " ended before the server closed it");
}

TEST_F(Https, HandshakeWaitsRunTheHookWhichMayLeave) {
  struct Leave {};
  TestServer silent({Reply{.bytes = "", .stall = true}});  // accepts, never answers the hello
  LoopbackSockets sockets(silent.port(), {kHost});
  int waits = 0;
  sockets.setWaitHook([&] {
    if (++waits == 3) throw Leave{};
  });
  EXPECT_THROW(HttpGetUrl(sockets, net::SystemTls(), "https://" + kHost + "/", buffer_), Leave);
  sockets.setWaitHook({});
  EXPECT_EQ(sockets.openSockets(), 0);
}

TEST(MovedToHttps, OnlyTheSameAddressOverHttpsForTheFourMoves) {
  const std::string to = "https://listings.example/p?q=1";
  for (const char* status : {"301", "302", "307", "308"}) {
    EXPECT_TRUE(
        MovedToHttps("HTTP/1.1 " + std::string(status) + " M\r\nlocation:" + to + " \r\n\r\n",
                     "listings.example", "/p?q=1"));
  }
  const std::string unfollowed[] = {
      "HTTP/1.1 303 M\r\nLocation: " + to + "\r\n\r\n",
      "HTTP/1.1 301 M\r\nLocation: " + to + "&r=2\r\n\r\n",
      "HTTP/1.1 301 M\r\nLocation: http://listings.example/p?q=1\r\n\r\n",
      "HTTP/1.1 301 M\r\nLocation: " + to,               // may be cut short
      "HTTP/1.1 301 M\r\n\r\nLocation: " + to + "\r\n",  // in the body
  };
  for (const auto& probe : unfollowed)
    EXPECT_FALSE(MovedToHttps(probe, "listings.example", "/p?q=1")) << probe;
}

}  // namespace
}  // namespace quillo
