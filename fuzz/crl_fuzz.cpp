// libFuzzer target: arbitrary bytes as a downloaded revocation list, read
// and used as pass 2 of a verification uses it. The demo chain (signer,
// intermediate, held root) is verified first, as pass 1 leaves it in the
// verifier's chain; then the list is the one CRL file of the revocation
// check of that chain (readCrlFromPath, DER then PEM, added to the store,
// every certificate checked). Nothing may crash, leak or read out of
// bounds, and reading never stops to ask for a pass phrase. A list the
// check reports as revoking must have been readable.
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "SignatureVerification.h"

namespace {

ossl::X509Ptr readPem(const char* path) {
  std::FILE* f = std::fopen(path, "r");
  if (!f) std::abort();
  ossl::X509Ptr cert(PEM_read_X509(f, nullptr, nullptr, nullptr));
  std::fclose(f);
  if (!cert) std::abort();
  return cert;
}

struct DemoChain {
  ossl::X509Ptr signer = readPem(VANTOR_FUZZ_DEMO_PKI "/DEMO-KEYS-signer.cert.pem");
  ossl::X509StackPtr untrusted{sk_X509_new_null()};
  DemoChain() {
    ossl::X509Ptr intermediate = readPem(VANTOR_FUZZ_DEMO_PKI "/DEMO-KEYS-intermediate-ca.cert.pem");
    if (!untrusted || sk_X509_push(untrusted.get(), intermediate.get()) <= 0) std::abort();
    intermediate.release();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const std::string path = fuzz::pathIn("list.crl");
  static const DemoChain demo;
  fuzz::writeFile(path, bytes, size);

  SignatureVerification v;
  const bool readable = v.readCrlFromPath(path) != nullptr;

  // Pass 1's chain: the verified demo chain in the verifier's process-wide
  // list (the callback collects it).
  ossl::X509StorePtr store = v.makeStoreForPkcs7();
  if (!store) std::abort();
  ossl::X509StoreCtxPtr ctx(X509_STORE_CTX_new());
  if (!ctx || X509_STORE_CTX_init(ctx.get(), store.get(), demo.signer.get(), demo.untrusted.get()) != 1)
    std::abort();
  if (X509_verify_cert(ctx.get()) != 1) std::abort();

  // Pass 2 with the input as the one downloaded list. It also empties the
  // chain again, so nothing piles up from one input to the next.
  v.setCrlPaths(std::make_shared<std::vector<std::string>>(std::vector<std::string>{path}));
  const bool passed = v.checkCertsAgainstCrls();
  if (!passed && !readable) std::abort();
  if (signatureCertChain() && sk_X509_num(signatureCertChain()) != 0) std::abort();
  return 0;
}
