// TLS over the socket port with OpenSSL 3: the records go through a BIO
// whose read and write are the port's recv and send, so the handshake and
// every read wait in the port's slices and run its wait hook. A run's
// connections share one context and resume each other's sessions.

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <cerrno>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "base/Error.h"
#include "platform/Tls.h"

namespace quillo::net {
namespace {

// What a BIO call needs, and what it leaves behind for the SSL_* caller:
// OpenSSL is C, so an exception from the wait hook must not pass through it.
struct Transport {
  SocketApi& sockets;
  SocketHandle socket;
  std::exception_ptr thrown;
  int socketError = 0;  // the code of a failed recv or send
  bool closed = false;  // the peer closed the TCP stream
  bool stalled = false;
};

Transport& TransportOf(BIO* bio) { return *static_cast<Transport*>(BIO_get_data(bio)); }

int TransportRead(BIO* bio, char* data, int size) {
  Transport& t = TransportOf(bio);
  BIO_clear_retry_flags(bio);
  try {
    const long got = t.sockets.recv(t.socket, data, static_cast<std::size_t>(size));
    if (got < 0) t.socketError = t.sockets.lastError();
    if (got == 0) t.closed = true;
    return static_cast<int>(got);
  } catch (...) {
    t.thrown = std::current_exception();
    return -1;
  }
}

int TransportWrite(BIO* bio, const char* data, int size) {
  Transport& t = TransportOf(bio);
  BIO_clear_retry_flags(bio);
  try {
    const long sent = t.sockets.send(t.socket, data, static_cast<std::size_t>(size));
    if (sent < 0) t.socketError = t.sockets.lastError();
    // A send that takes nothing would be retried for ever.
    if (sent == 0) t.stalled = true;
    return sent == 0 ? -1 : static_cast<int>(sent);
  } catch (...) {
    t.thrown = std::current_exception();
    return -1;
  }
}

long TransportControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

BIO_METHOD* TransportMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quillo socket");
    if (m == nullptr) return m;
    BIO_meth_set_read(m, TransportRead);
    BIO_meth_set_write(m, TransportWrite);
    BIO_meth_set_ctrl(m, TransportControl);
    return m;
  }();
  return method;
}

// The reason for the last failure on the thread's OpenSSL error queue.
std::string QueuedReason() {
  const unsigned long code = ERR_peek_last_error();
  if (code == 0) return "no reason given";
  if (const char* reason = ERR_reason_error_string(code)) return reason;
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

// A socket's message text, trimmed; its code when the system has none.
std::string SocketReason(SocketApi& sockets, int code) {
  std::string text = TrimMessageTail(sockets.errorText(code));
  return text.empty() ? "error " + std::to_string(code) : text;
}

struct SslFree {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
  void operator()(SSL* ssl) const { SSL_free(ssl); }
  void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
};

// The latest session of a run with each host, for its next connection there.
using SessionStore = std::map<std::string, std::unique_ptr<SSL_SESSION, SslFree>, std::less<>>;

class OpenSslSession final : public TlsSession {
 public:
  OpenSslSession(std::shared_ptr<SessionStore> store, SocketApi& sockets, SocketHandle s,
                 const std::string& host)
      : store_(std::move(store)), transport_{sockets, s, nullptr, 0, false, false}, host_(host) {}

  ~OpenSslSession() override {
    // Freed without close_notify sent, OpenSSL would drop the session, and
    // every probe ends so (it reads no further than its first bytes). Since
    // TLS 1.1 a connection that ends unclosed may still be resumed; a fatal
    // alert still drops its session.
    if (ssl_) SSL_set_shutdown(ssl_.get(), SSL_get_shutdown(ssl_.get()) | SSL_SENT_SHUTDOWN);
  }
  OpenSslSession(const OpenSslSession&) = delete;
  OpenSslSession& operator=(const OpenSslSession&) = delete;

  // OpenSSL's call for each session the server grants (with TLS 1.3 a
  // ticket after the handshake, read with the first response): it becomes
  // the host's latest. Takes the reference.
  static int KeepSession(SSL* ssl, SSL_SESSION* session) {
    auto* self = static_cast<OpenSslSession*>(SSL_get_app_data(ssl));
    if (self == nullptr) return 0;
    (*self->store_)[self->host_].reset(session);
    return 1;
  }

  void handshake(SSL_CTX* ctx) {
    ERR_clear_error();
    ssl_.reset(SSL_new(ctx));
    BIO_METHOD* method = TransportMethod();
    BIO* bio = ssl_ && method != nullptr ? BIO_new(method) : nullptr;
    if (bio == nullptr) throw Error("TLS cannot be set up for " + host_ + ": " + QueuedReason());
    BIO_set_data(bio, &transport_);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_.get(), bio, bio);
    // No server name for an address literal; the check then compares the
    // certificate's IP addresses.
    in_addr literal{};
    if (inet_pton(AF_INET, host_.c_str(), &literal) != 1 &&
        SSL_set_tlsext_host_name(ssl_.get(), host_.c_str()) != 1) {
      throw Error("TLS cannot be set up for " + host_ + ": " + QueuedReason());
    }
    if (SSL_set1_host(ssl_.get(), host_.c_str()) != 1) {
      throw Error("TLS cannot be set up for " + host_ + ": " + QueuedReason());
    }
    SSL_set_app_data(ssl_.get(), this);
    const auto latest = store_->find(host_);
    if (latest != store_->end() && SSL_set_session(ssl_.get(), latest->second.get()) != 1) {
      throw Error("TLS cannot be set up for " + host_ + ": " + QueuedReason());
    }

    const int done = SSL_connect(ssl_.get());
    rethrowHook();
    if (done == 1) return;
    const long verdict = SSL_get_verify_result(ssl_.get());
    if (verdict != X509_V_OK) {
      throw Error("The certificate of " + host_ +
                  " is not trusted: " + X509_verify_cert_error_string(verdict));
    }
    throw Error("The TLS handshake with " + host_ + " failed: " + failure(done));
  }

  long send(const char* data, std::size_t size) override {
    ERR_clear_error();
    std::size_t written = 0;
    const int ok = SSL_write_ex(ssl_.get(), data, size, &written);
    rethrowHook();
    if (ok == 1) return static_cast<long>(written);
    if (transport_.stalled) throw Error(kSendStalled);
    if (transport_.socketError != 0) return socketFailed();
    throw Error("The TLS connection to " + host_ + " failed: " + failure(ok));
  }

  long recv(char* data, std::size_t size) override {
    ERR_clear_error();
    std::size_t got = 0;
    const int ok = SSL_read_ex(ssl_.get(), data, size, &got);
    rethrowHook();
    if (ok == 1) return static_cast<long>(got);
    const int error = SSL_get_error(ssl_.get(), ok);
    if (error == SSL_ERROR_ZERO_RETURN) return 0;
    if (transport_.socketError != 0) return socketFailed();
    // A TCP close without close_notify may have cut the page anywhere.
    if (transport_.closed) {
      throw Error("The TLS connection to " + host_ + " ended before the server closed it");
    }
    throw Error("The TLS connection to " + host_ + " failed: " + failure(ok));
  }

 private:
  void rethrowHook() {
    if (transport_.thrown) std::rethrow_exception(std::exchange(transport_.thrown, nullptr));
  }

  // The socket's code back as the last error (OpenSSL may have touched
  // errno since), for the caller to read as after a plain recv or send.
  long socketFailed() {
    errno = transport_.socketError;
    return -1;
  }

  std::string failure(int result) {
    if (transport_.socketError != 0) {
      return SocketReason(transport_.sockets, transport_.socketError);
    }
    if (transport_.closed ||
        (SSL_get_error(ssl_.get(), result) == SSL_ERROR_SYSCALL && ERR_peek_last_error() == 0)) {
      return "the server closed the connection";
    }
    return QueuedReason();
  }

  std::shared_ptr<SessionStore> store_;
  Transport transport_;
  std::string host_;
  std::unique_ptr<SSL, SslFree> ssl_;
};

// One run's context and sessions. Each SSL holds a reference to the
// context and each session to the store, so either may outlive the run.
class OpenSslRun final : public TlsApi {
 public:
  std::unique_ptr<TlsSession> connect(SocketApi& sockets, SocketHandle s,
                                      const std::string& host) override {
    auto session = std::make_unique<OpenSslSession>(store_, sockets, s, host);
    session->handshake(context(host));
    return session;
  }

  std::unique_ptr<TlsApi> newRun() override { return std::make_unique<OpenSslRun>(); }

 private:
  // Made at the run's first connection: SSL_CERT_FILE and SSL_CERT_DIR are
  // honoured as they stand then, and the store is read once for the run.
  SSL_CTX* context(const std::string& host) {
    if (ctx_) return ctx_.get();
    ERR_clear_error();
    std::unique_ptr<SSL_CTX, SslFree> ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx || SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_default_verify_paths(ctx.get()) != 1) {
      throw Error("TLS cannot be set up for " + host + ": " + QueuedReason());
    }
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    // OpenSSL's own store finds no session for a client: the run's store,
    // by host, does.
    SSL_CTX_set_session_cache_mode(ctx.get(),
                                   SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx.get(), OpenSslSession::KeepSession);
    ctx_ = std::move(ctx);
    return ctx_.get();
  }

  std::unique_ptr<SSL_CTX, SslFree> ctx_;
  std::shared_ptr<SessionStore> store_ = std::make_shared<SessionStore>();
};

class OpenSslTls final : public TlsApi {
 public:
  std::unique_ptr<TlsSession> connect(SocketApi& sockets, SocketHandle s,
                                      const std::string& host) override {
    return OpenSslRun().connect(sockets, s, host);
  }
  std::unique_ptr<TlsApi> newRun() override { return std::make_unique<OpenSslRun>(); }
};

}  // namespace

TlsApi& SystemTls() {
  static OpenSslTls api;
  return api;
}

}  // namespace quillo::net
