#include "platform/Tls.h"

#include "base/Error.h"

namespace quillo::net {
namespace {

class UnavailableTls final : public TlsApi {
 public:
  std::unique_ptr<TlsSession> connect(SocketApi&, SocketHandle, const std::string& host) override {
    throw Error("https is not available here for " + host);
  }
};

}  // namespace

TlsApi& SystemTls() {
  static UnavailableTls api;
  return api;
}

}  // namespace quillo::net
