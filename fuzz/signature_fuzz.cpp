// libFuzzer target: arbitrary bytes as the detached signature file. Reading,
// the signer checks and the verification over a fixed data file must never
// crash, leak or read out of bounds; whatever they make of the bytes, a
// refusal always comes with a recorded reason, and an accepted signature has
// passed every pre-check.
//
// readPkcs7 stops at the first failed check, so on its own the later checks
// would only see inputs that got past the earlier ones. The target therefore
// also runs the signer checks (names, marker, the printed distribution
// points) over every certificate the signature carries, and, when the
// signature got past the pre-checks, the revocation stage against the demo
// lists.
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CrlDistributionPoints.h"
#include "FuzzFiles.h"
#include "SignatureVerification.h"

namespace {

// The bytes every seed signature is made over (fuzz/make-seeds.sh).
constexpr char kData[] = "runtime installer";

struct Files {
  std::string data = fuzz::pathIn("installer");
  std::string signature = fuzz::pathIn("installer.p7");
  platform::SharedStringList crls = std::make_shared<std::vector<std::string>>(
      std::vector<std::string>{VANTOR_FUZZ_DEMO_PKI "/DEMO-KEYS-intermediate.crl",
                               VANTOR_FUZZ_DEMO_PKI "/DEMO-KEYS-root.crl"});
  Files() {
    fuzz::writeFile(data, reinterpret_cast<const std::uint8_t*>(kData), sizeof kData - 1);
  }
};

void check(bool condition) {
  if (!condition) std::abort();
}

// The signer checks on one certificate; none may crash whatever it holds.
void checkCertificate(SignatureVerification& v, X509* cert) {
  v.verifySignerNames(cert);
  v.verifySignerName(X509_get_subject_name(cert), kExpectedCommonName, NID_commonName);
  v.containsX509v3Data(cert, std::string(kSignerMarkerOid), NID_ext_key_usage);
  if (auto printed = SignatureVerification::extractX509v3Data(cert, NID_crl_distribution_points))
    crlAddressesFromPrintedPoints({*printed});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static Files files;
  fuzz::writeFile(files.signature, bytes, size);

  SignatureVerification v;
  v.setDataPath(files.data);
  v.setSignaturePath(files.signature);
  ossl::Pkcs7Ptr p7 = v.readPkcs7();
  if (!p7) {
    check(!v.errorString().empty());
  } else {
    // Accepted by the pre-checks: each of them holds on its own too.
    ossl::X509Ptr signer = v.getSignerCertificate(p7.get());
    check(signer != nullptr);
    check(v.verifySignerNames(signer.get()));
    check(v.containsX509v3Data(signer.get(), std::string(kSignerMarkerOid), NID_ext_key_usage));
    if (!v.verifyDetachedSignature(p7.get())) {
      check(!v.errorString().empty());
    } else {
      // The chain verified: collect its addresses as pass 1 does.
      std::vector<std::string> printed;
      for (int i = 0; signatureCertChain() && i < sk_X509_num(signatureCertChain()); ++i)
        if (auto text = SignatureVerification::extractX509v3Data(
                sk_X509_value(signatureCertChain(), i), NID_crl_distribution_points))
          printed.push_back(*text);
      crlAddressesFromPrintedPoints(printed);
    }
    // Pass 2 against the demo lists (they revoke nothing) over whatever part
    // of the chain verified. It also empties the verifier's process-wide
    // chain, which would otherwise grow from one input to the next.
    v.setCrlPaths(files.crls);
    v.checkCertsAgainstCrls();
    check(signatureCertChain() && sk_X509_num(signatureCertChain()) == 0);
  }

  // Every certificate carried, whatever readPkcs7 thought of the signature.
  const unsigned char* cursor = bytes;
  ossl::Pkcs7Ptr parsed(d2i_PKCS7(nullptr, &cursor, static_cast<long>(size)));
  if (parsed && PKCS7_type_is_signed(parsed.get()) && parsed->d.sign) {
    ossl::X509Ptr signer = v.getSignerCertificate(parsed.get());
    if (signer) checkCertificate(v, signer.get());
    STACK_OF(X509)* certs = parsed->d.sign->cert;
    for (int i = 0; certs && i < sk_X509_num(certs); ++i) checkCertificate(v, sk_X509_value(certs, i));
  }
  return 0;
}
