#pragma once

// The secure channel an "https://" fetch talks through: TLS over a socket
// that is already connected, every record carried by the socket port's own
// send and recv, so that the handshake and each read wait in slices and run
// the wait hook as a plain receive does. The platform implements it (OpenSSL
// on Linux, Schannel on Windows); tests hand in their own.

#include <cstddef>
#include <memory>
#include <string>

#include "base/SocketApi.h"

namespace quillo::net {

// One TLS session over one connection. It does not own the socket.
class TlsSession {
 public:
  virtual ~TlsSession() = default;
  // Encrypts and sends all of data: size, or -1 when the socket failed, its
  // code left as the socket port's last error.
  virtual long send(const char* data, std::size_t size) = 0;
  // Decrypted bytes, at most size; 0 when the peer closed the session, -1
  // when the socket failed (its code left as the last error). Raises Error
  // for a record that does not decrypt or a close that cuts the stream.
  virtual long recv(char* data, std::size_t size) = 0;
};

class TlsApi {
 public:
  virtual ~TlsApi() = default;
  // A TLS 1.2 or later session with host as the server name over the
  // connected socket s of sockets. The peer's chain is checked against the
  // system's trust store and its name against host; any failure raises Error
  // naming host and reason ("The certificate of listings.example is not
  // trusted: self-signed certificate") before a byte of a request is sent.
  // An exception from the wait hook leaves as it came.
  virtual std::unique_ptr<TlsSession> connect(SocketApi& sockets, SocketHandle s,
                                              const std::string& host) = 0;
  // The port for one run of fetches. Its connections share one context, set
  // up at the first of them (the trust store read once), and each resumes
  // the session the run last had with the same host, so that a run of many
  // pages pays for one full handshake. A connect of this port itself stands
  // alone.
  virtual std::unique_ptr<TlsApi> newRun() = 0;
};

}  // namespace quillo::net
