#include "support/TlsServer.h"

#include <openssl/ssl.h>

#include <csignal>
#include <stdexcept>
#include <utility>

namespace quillo::testing {
namespace {

class OpenSslServerSession final : public ServerSession {
 public:
  explicit OpenSslServerSession(SSL* ssl) : ssl_(ssl) {}
  ~OpenSslServerSession() override { SSL_free(ssl_); }

  long read(char* data, std::size_t size) override {
    std::size_t got = 0;
    if (SSL_read_ex(ssl_, data, size, &got) == 1) return static_cast<long>(got);
    return SSL_get_error(ssl_, 0) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
  }
  long write(const char* data, std::size_t size) override {
    std::size_t sent = 0;
    return SSL_write_ex(ssl_, data, size, &sent) == 1 ? static_cast<long>(sent) : -1;
  }
  void shutdown() override { SSL_shutdown(ssl_); }

 private:
  SSL* ssl_;
};

class OpenSslServerTls final : public ServerTls {
 public:
  OpenSslServerTls(const std::string& chainFile, const std::string& keyFile,
                   std::shared_ptr<TlsCounts> counts)
      : ctx_(SSL_CTX_new(TLS_server_method())), counts_(std::move(counts)) {
    if (ctx_ == nullptr || SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate_chain_file(ctx_, chainFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
      SSL_CTX_free(ctx_);
      throw std::runtime_error("test TLS server cannot load " + chainFile);
    }
    // OpenSSL writes to the socket itself: a client that went away must give
    // an error, not a SIGPIPE that ends the test.
    std::signal(SIGPIPE, SIG_IGN);
  }
  ~OpenSslServerTls() override { SSL_CTX_free(ctx_); }

  std::unique_ptr<ServerSession> accept(std::intptr_t socket) override {
    SSL* ssl = SSL_new(ctx_);
    if (ssl == nullptr || SSL_set_fd(ssl, static_cast<int>(socket)) != 1 || SSL_accept(ssl) != 1) {
      SSL_free(ssl);
      return nullptr;
    }
    if (counts_) {
      ++counts_->handshakes;
      if (SSL_session_reused(ssl) == 1) ++counts_->resumed;
    }
    return std::make_unique<OpenSslServerSession>(ssl);
  }

 private:
  SSL_CTX* ctx_;
  std::shared_ptr<TlsCounts> counts_;
};

}  // namespace

std::shared_ptr<ServerTls> MakeServerTls(const std::string& chainFile, const std::string& keyFile,
                                         std::shared_ptr<TlsCounts> counts) {
  return std::make_shared<OpenSslServerTls>(chainFile, keyFile, std::move(counts));
}

}  // namespace quillo::testing
