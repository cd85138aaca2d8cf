#include "platform/Tls.h"

#include <winsock2.h>
// After winsock2.h: windows.h alone would pull in the old winsock.h.
#include <windows.h>
// SCH_CREDENTIALS and its TLS parameters need the system's UNICODE_STRING.
#include <subauth.h>
#define SCHANNEL_USE_BLACKLISTS
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "platform/Codepage.h"

namespace quillo::net {
namespace {

// The largest TLS record on the wire: 5 header bytes and at most 2^14 bytes
// of text with 2048 of expansion (TLS 1.3 allows less).
constexpr std::size_t kRecordLimit = 5 + 16384 + 2048;
// What one session holds of the peer's encrypted bytes, fixed: several
// records, so that a handshake flight (the certificate chain above all)
// arrives in large receives.
constexpr std::size_t kInputSize = 4 * kRecordLimit;

constexpr char kAlertRecord = 21;

constexpr DWORD kProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
constexpr DWORD kCredentialFlags =
    SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

// The system's text for a security status or policy error, as CP932; its
// code when the system has none.
std::string StatusText(DWORD code) {
  wchar_t area[512] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, area, 512, nullptr);
  std::string text = TrimMessageTail(
      cp932::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(area), length)));
  if (!text.empty()) return text;
  char number[32];
  std::snprintf(number, sizeof number, "error 0x%08lX", static_cast<unsigned long>(code));
  return number;
}

// A short reason for the first fault of a chain's trust status, in the
// words OpenSSL uses on Linux.
std::string ChainFault(const CERT_CHAIN_CONTEXT& chain) {
  const DWORD status = chain.TrustStatus.dwErrorStatus;
  if (chain.cChain == 0) return "no certificate chain could be built";
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) {
    const bool alone = chain.rgpChain[0]->cElement == 1;
    return alone ? "self-signed certificate" : "self-signed certificate in certificate chain";
  }
  if (status & CERT_TRUST_IS_PARTIAL_CHAIN) return "unable to get local issuer certificate";
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return "certificate is not valid at this time";
  if (status & CERT_TRUST_IS_REVOKED) return "certificate revoked";
  if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return "certificate signature failure";
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return "unsupported certificate purpose";
  char number[48];
  std::snprintf(number, sizeof number, "certificate chain status 0x%08lX",
                static_cast<unsigned long>(status));
  return number;
}

std::string PolicyFault(DWORD error) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return "hostname mismatch";
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
      return "self-signed certificate in certificate chain";
    case static_cast<DWORD>(CERT_E_EXPIRED):
      return "certificate is not valid at this time";
    default:
      return StatusText(error);
  }
}

// secur32.dll's calls, through its function table: the DLL is loaded at the
// first https connection, not at the program's start, because Wine's starts
// Winsock as it loads, before the program's own start-up does. nullptr when
// the system has none.
const SecurityFunctionTableW* Sspi() {
  static const SecurityFunctionTableW* const table = []() -> const SecurityFunctionTableW* {
    const HMODULE dll = LoadLibraryExW(L"secur32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (dll == nullptr) return nullptr;
    // By way of void (*)(), the cast every function pointer type accepts.
    const auto init = reinterpret_cast<INIT_SECURITY_INTERFACE_W>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll, SECURITY_ENTRYPOINT_ANSIW)));
    return init != nullptr ? init() : nullptr;
  }();
  return table;
}

class Credentials {
 public:
  Credentials() {
    if (Sspi() == nullptr) {
      status_ = SEC_E_SECPKG_NOT_FOUND;
      return;
    }
    // SCH_CREDENTIALS names what is left out and knows TLS 1.3; systems
    // without it (older Windows) take the older SCHANNEL_CRED with TLS 1.2.
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = ~kProtocols;
    SCH_CREDENTIALS current{};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = kCredentialFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    if (acquire(&current) == SEC_E_OK) return;
    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    older.dwFlags = kCredentialFlags;
    status_ = acquire(&older);
  }
  ~Credentials() {
    if (status_ == SEC_E_OK) Sspi()->FreeCredentialsHandle(&handle_);
  }
  Credentials(const Credentials&) = delete;
  Credentials& operator=(const Credentials&) = delete;

  SECURITY_STATUS status() const { return status_; }
  CredHandle* handle() { return &handle_; }

 private:
  SECURITY_STATUS acquire(void* data) {
    wchar_t package[] = UNISP_NAME_W;
    status_ = Sspi()->AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr,
                                                data, nullptr, nullptr, &handle_, nullptr);
    return status_;
  }

  CredHandle handle_{};
  SECURITY_STATUS status_ = SEC_E_INTERNAL_ERROR;
};

// The security context, deleted however the session ends, a failed
// handshake included.
struct SecurityContext {
  CtxtHandle handle{};
  bool live = false;
  SecurityContext() = default;
  SecurityContext(const SecurityContext&) = delete;
  SecurityContext& operator=(const SecurityContext&) = delete;
  ~SecurityContext() {
    if (live) Sspi()->DeleteSecurityContext(&handle);
  }
};

// Frees what the system allocated for an output token.
struct ContextBuffer {
  SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
  ~ContextBuffer() {
    if (buffer.pvBuffer != nullptr) Sspi()->FreeContextBuffer(buffer.pvBuffer);
  }
};

class SchannelSession final : public TlsSession {
 public:
  // Schannel resumes a session by itself for the same credentials and
  // target name.
  SchannelSession(std::shared_ptr<Credentials> credentials, SocketApi& sockets, SocketHandle s,
                  const std::string& host)
      : sockets_(sockets),
        socket_(s),
        host_(host),
        target_(Wide(host)),
        credentials_(std::move(credentials)),
        input_(kInputSize),
        plain_(kInputSize) {
    handshake(true);
    verify();
    SecPkgContext_StreamSizes sizes{};
    const SECURITY_STATUS status =
        Sspi()->QueryContextAttributesW(&security_.handle, SECPKG_ATTR_STREAM_SIZES, &sizes);
    if (status != SEC_E_OK) handshakeFails(StatusText(static_cast<DWORD>(status)));
    header_ = sizes.cbHeader;
    trailer_ = sizes.cbTrailer;
    maxMessage_ = std::min<std::size_t>(sizes.cbMaximumMessage, 16384);
    output_.resize(header_ + maxMessage_ + trailer_);
  }

  long send(const char* data, std::size_t size) override {
    for (std::size_t done = 0; done < size;) {
      const std::size_t part = std::min(size - done, maxMessage_);
      std::memcpy(output_.data() + header_, data + done, part);
      SecBuffer buffers[4] = {
          {static_cast<ULONG>(header_), SECBUFFER_STREAM_HEADER, output_.data()},
          {static_cast<ULONG>(part), SECBUFFER_DATA, output_.data() + header_},
          {static_cast<ULONG>(trailer_), SECBUFFER_STREAM_TRAILER, output_.data() + header_ + part},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = Sspi()->EncryptMessage(&security_.handle, 0, &message, 0);
      if (status != SEC_E_OK) connectionFails(StatusText(static_cast<DWORD>(status)));
      const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
      if (!sendAll(output_.data(), total)) return -1;
      done += part;
    }
    return static_cast<long>(size);
  }

  long recv(char* data, std::size_t size) override {
    for (;;) {
      if (plainAt_ < plainEnd_) {
        const std::size_t n = std::min(size, plainEnd_ - plainAt_);
        std::memcpy(data, plain_.data() + plainAt_, n);
        plainAt_ += n;
        return static_cast<long>(n);
      }
      if (closed_) return 0;
      if (used_ > 0 && decrypt()) continue;
      if (used_ == input_.size()) connectionFails("a record larger than the limit");
      const long got = sockets_.recv(socket_, input_.data() + used_, input_.size() - used_);
      if (got < 0) return -1;
      // An end without the peer's close could be a cut page.
      if (got == 0 && !(emptyAlert_ && used_ == 0))
        throw Error("The TLS connection to " + host_ + " ended before the server closed it");
      if (got == 0) return 0;
      used_ += static_cast<std::size_t>(got);
    }
  }

 private:
  static std::wstring Wide(const std::string& text) {
    const std::u16string wide = cp932::ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
  }

  [[noreturn]] void handshakeFails(const std::string& reason) {
    throw Error("The TLS handshake with " + host_ + " failed: " + reason);
  }
  [[noreturn]] void untrusted(const std::string& reason) {
    throw Error("The certificate of " + host_ + " is not trusted: " + reason);
  }
  [[noreturn]] void connectionFails(const std::string& reason) {
    throw Error("The TLS connection to " + host_ + " failed: " + reason);
  }

  // Every byte of data through the socket port; false when it failed, its
  // code left as the last error.
  bool sendAll(const char* data, std::size_t size) {
    while (size > 0) {
      const long sent = sockets_.send(socket_, data, size);
      if (sent < 0) return false;
      if (sent == 0) throw Error(kSendStalled);
      data += sent;
      size -= static_cast<std::size_t>(sent);
    }
    return true;
  }

  // More of the peer's bytes for the handshake.
  void receiveHandshake() {
    if (used_ == input_.size()) handshakeFails("a handshake message larger than the limit");
    const long got = sockets_.recv(socket_, input_.data() + used_, input_.size() - used_);
    if (got < 0) handshakeFails(TrimMessageTail(sockets_.errorText(sockets_.lastError())));
    if (got == 0) handshakeFails("the server closed the connection");
    used_ += static_cast<std::size_t>(got);
  }

  // Drops what the last call consumed, keeping the bytes it left over.
  void keepExtra(const SecBuffer& extra) {
    if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= used_) {
      std::memmove(input_.data(), input_.data() + used_ - extra.cbBuffer, extra.cbBuffer);
      used_ = extra.cbBuffer;
    } else {
      used_ = 0;
    }
  }

  // The handshake, or a renegotiation over the bytes already received.
  void handshake(bool first) {
    bool needInput = false;
    for (;;) {
      if (needInput) receiveHandshake();
      SecBuffer in[2] = {{static_cast<ULONG>(used_), SECBUFFER_TOKEN, input_.data()},
                         {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
      ContextBuffer out;
      SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out.buffer};
      ULONG attributes = 0;
      const bool start = first && !security_.live;
      const SECURITY_STATUS status = Sspi()->InitializeSecurityContextW(
          credentials_->handle(), start ? nullptr : &security_.handle, target_.data(),
          contextFlags_, 0, 0, start ? nullptr : &inDesc, 0, &security_.handle, &outDesc,
          &attributes, nullptr);
      if (start && !FAILED(status)) security_.live = true;
      if (out.buffer.cbBuffer > 0 && out.buffer.pvBuffer != nullptr && !FAILED(status) &&
          !sendAll(static_cast<const char*>(out.buffer.pvBuffer), out.buffer.cbBuffer)) {
        handshakeFails(TrimMessageTail(sockets_.errorText(sockets_.lastError())));
      }
      if (status == SEC_E_INCOMPLETE_MESSAGE) {
        needInput = true;
        continue;
      }
      // The server asks for a client certificate, which may be optional: the
      // same input again, answered with none (the credentials hold none). A
      // server that needs one fails the handshake with its own alert.
      if (status == SEC_I_INCOMPLETE_CREDENTIALS &&
          (contextFlags_ & ISC_REQ_USE_SUPPLIED_CREDS) == 0) {
        contextFlags_ |= ISC_REQ_USE_SUPPLIED_CREDS;
        needInput = false;
        continue;
      }
      if (!start) keepExtra(in[1]);
      if (status == SEC_E_OK) return;
      if (status == SEC_I_CONTINUE_NEEDED) {
        needInput = used_ == 0;
        continue;
      }
      handshakeFails(StatusText(static_cast<DWORD>(status)));
    }
  }

  // The protocol, the chain and the name, before a byte of a request.
  void verify() {
    SecPkgContext_ConnectionInfo info{};
    SECURITY_STATUS status =
        Sspi()->QueryContextAttributesW(&security_.handle, SECPKG_ATTR_CONNECTION_INFO, &info);
    if (status != SEC_E_OK) handshakeFails(StatusText(static_cast<DWORD>(status)));
    if ((info.dwProtocol & kProtocols) == 0) handshakeFails("protocol version below TLS 1.2");

    PCCERT_CONTEXT certificate = nullptr;
    status = Sspi()->QueryContextAttributesW(&security_.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                             &certificate);
    if (status != SEC_E_OK || certificate == nullptr) untrusted("no certificate");
    struct Release {
      PCCERT_CONTEXT certificate;
      PCCERT_CHAIN_CONTEXT chain = nullptr;
      ~Release() {
        if (chain != nullptr) CertFreeCertificateChain(chain);
        CertFreeCertificateContext(certificate);
      }
    } held{certificate};

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // The peer's own store holds the intermediates it sent. Nothing is
    // fetched from the network (a certificate's issuer address): the wait
    // would not be sliced, and the check would hang on a server-chosen URL.
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                                 CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &held.chain)) {
      untrusted(StatusText(GetLastError()));
    }
    // The policy below lets a chain that reaches no root pass on some
    // systems (Wine's): every trust fault counts here first.
    if (held.chain->cChain == 0 || held.chain->TrustStatus.dwErrorStatus != CERT_TRUST_NO_ERROR)
      untrusted(ChainFault(*held.chain));

    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = target_.data();
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS policy{};
    policy.cbSize = sizeof policy;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, held.chain, &policyPara,
                                          &policy)) {
      untrusted(StatusText(GetLastError()));
    }
    if (policy.dwError != 0) untrusted(PolicyFault(policy.dwError));
  }

  // Decrypts the record at the front of the input: false when it is not
  // whole yet.
  bool decrypt() {
    SecBuffer buffers[4] = {{static_cast<ULONG>(used_), SECBUFFER_DATA, input_.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    // TLS 1.2 sends alerts under their own record type, seen before the
    // record is decrypted in place.
    const bool alert = input_[0] == kAlertRecord;
    const SECURITY_STATUS status = Sspi()->DecryptMessage(&security_.handle, &message, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return false;
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED)
      connectionFails(StatusText(static_cast<DWORD>(status)));
    // The text is decrypted in place, before the extra bytes: it is copied
    // out before they move.
    SecBuffer extra{0, SECBUFFER_EMPTY, nullptr};
    plainAt_ = plainEnd_ = 0;
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_DATA && b.pvBuffer != nullptr && b.cbBuffer <= plain_.size()) {
        std::memcpy(plain_.data(), b.pvBuffer, b.cbBuffer);
        plainEnd_ = b.cbBuffer;
      }
      if (b.BufferType == SECBUFFER_EXTRA) extra = b;
    }
    keepExtra(extra);
    // The peer's close_notify ends the stream: Windows reports it as
    // SEC_I_CONTEXT_EXPIRED; Wine's Schannel as an alert record that decrypts
    // to nothing (any other alert fails there). As Windows may pass another
    // warning alert so, such a record counts only when the TCP end follows it
    // directly; a fatal alert fails above on both.
    if (status == SEC_I_CONTEXT_EXPIRED) closed_ = true;
    emptyAlert_ = alert && status == SEC_E_OK && plainEnd_ == 0;
    if (status == SEC_I_RENEGOTIATE) {
      // Post-handshake messages (TLS 1.3 tickets) or a new handshake go
      // back through the handshake, and any new certificate is checked.
      handshake(false);
      verify();
    }
    return true;
  }

  SocketApi& sockets_;
  SocketHandle socket_;
  std::string host_;
  std::wstring target_;
  // Before the context, which is deleted first.
  std::shared_ptr<Credentials> credentials_;
  SecurityContext security_;
  ULONG contextFlags_ = kContextFlags;
  // Encrypted bytes received and not yet decrypted: input_[0, used_).
  std::vector<char> input_;
  std::size_t used_ = 0;
  // The last decrypted record, given out from plainAt_.
  std::vector<char> plain_;
  std::size_t plainAt_ = 0;
  std::size_t plainEnd_ = 0;
  bool closed_ = false;
  // The last record was an alert that decrypted to nothing.
  bool emptyAlert_ = false;
  std::size_t header_ = 0;
  std::size_t trailer_ = 0;
  std::size_t maxMessage_ = 0;
  std::vector<char> output_;
};

// One run's credentials handle, acquired at its first connection.
class SchannelRun final : public TlsApi {
 public:
  std::unique_ptr<TlsSession> connect(SocketApi& sockets, SocketHandle s,
                                      const std::string& host) override {
    if (!credentials_ || credentials_->status() != SEC_E_OK) {
      credentials_ = std::make_shared<Credentials>();
      if (credentials_->status() != SEC_E_OK) {
        throw Error("TLS cannot be set up for " + host + ": " +
                    StatusText(static_cast<DWORD>(credentials_->status())));
      }
    }
    return std::make_unique<SchannelSession>(credentials_, sockets, s, host);
  }

  std::unique_ptr<TlsApi> newRun() override { return std::make_unique<SchannelRun>(); }

 private:
  std::shared_ptr<Credentials> credentials_;
};

class SchannelTls final : public TlsApi {
 public:
  std::unique_ptr<TlsSession> connect(SocketApi& sockets, SocketHandle s,
                                      const std::string& host) override {
    return SchannelRun().connect(sockets, s, host);
  }
  std::unique_ptr<TlsApi> newRun() override { return std::make_unique<SchannelRun>(); }
};

}  // namespace

TlsApi& SystemTls() {
  static SchannelTls api;
  return api;
}

}  // namespace quillo::net
