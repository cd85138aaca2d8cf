// quillo-add-root CERT.pem: adds the certificate to the current user's Root
// store, so that a test's throw-away CA is trusted in its Wine prefix. (On
// Windows itself the system asks the user to confirm first.)

#include <windows.h>
// After windows.h, which it builds on.
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: quillo-add-root CERT.pem\n", stderr);
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) return 1;
  std::vector<char> pem(1 << 16);
  const std::size_t size = std::fread(pem.data(), 1, pem.size(), file);
  std::fclose(file);
  std::vector<BYTE> der(pem.size());
  DWORD length = static_cast<DWORD>(der.size());
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(size), CRYPT_STRING_BASE64HEADER,
                            der.data(), &length, nullptr, nullptr)) {
    std::fprintf(stderr, "not a PEM certificate: %lu\n", GetLastError());
    return 1;
  }
  HCERTSTORE root = CertOpenSystemStoreW(0, L"ROOT");
  const bool added = root != nullptr &&
                     CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), length,
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  if (!added) std::fprintf(stderr, "not added: %lu\n", GetLastError());
  if (root != nullptr) CertCloseStore(root, 0);
  return added ? 0 : 1;
}
