// libFuzzer target: arbitrary bytes as a downloaded revocation list. Reading
// (DER, then PEM) and adding the list to a trust store must never crash,
// leak or read out of bounds, and never stop to ask for a pass phrase.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "SignatureVerification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const std::string path = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern + "/list.crl";
  }();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(bytes, 1, size, f);
  std::fclose(f);

  SignatureVerification v;
  ossl::X509CrlPtr crl = v.readCrlFromPath(path);
  if (!crl) return 0;
  ossl::X509StorePtr store = v.makeStoreForPkcs7();
  if (!store) std::abort();
  X509_STORE_add_crl(store.get(), crl.get());
  // Verify the held root against it, so the list is looked at as a check
  // would look at it.
  ossl::X509Ptr root = v.getBrenmoorRoot();
  if (root) {
    X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK);
    v.hasCertificateBeenRevoked(root.get(), store.get(), nullptr);
  }
  return 0;
}
