// libFuzzer target: arbitrary bytes as a downloaded revocation list. Reading
// (DER, then PEM) and adding the list to a trust store must never crash,
// leak or read out of bounds, and never stop to ask for a pass phrase.
#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFiles.h"
#include "SignatureVerification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const std::string path = fuzz::pathIn("list.crl");
  fuzz::writeFile(path, bytes, size);

  SignatureVerification v;
  ossl::X509CrlPtr crl = v.readCrlFromPath(path);
  if (!crl) return 0;
  ossl::X509StorePtr store = v.makeStoreForPkcs7();
  if (!store) std::abort();
  X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK | X509_V_FLAG_IGNORE_CRITICAL);
  X509_STORE_add_crl(store.get(), crl.get());
  // Verify the held root against it, so the list is looked at as a check
  // would look at it (the root is its own issuer, so a list in the root's
  // name applies to it).
  ossl::X509Ptr root = v.getBrenmoorRoot();
  if (root) v.hasCertificateBeenRevoked(root.get(), store.get(), nullptr);
  return 0;
}
