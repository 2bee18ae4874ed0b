// The verifier built around another held root: one that has expired. The
// anchor's validity counts like every other certificate's, so a signature
// whose chain ends at it is refused, with OpenSSL's reason. This binary
// compiles the verifier with that root instead of the deployer's.
#include <gtest/gtest.h>

#include "SignatureVerification.h"
#include "TestPki.h"

#ifndef EXPIRED_ROOT_CERT_PEM
#error "EXPIRED_ROOT_CERT_PEM and EXPIRED_ROOT_KEY_PEM must name the generated root"
#endif

namespace {

TEST(SignatureVerificationExpiredRoot, AnExpiredAnchorRejectsTheSignature) {
  const testpki::Credential root = testpki::loadCredential(EXPIRED_ROOT_CERT_PEM, EXPIRED_ROOT_KEY_PEM);
  const testpki::Credential intermediate = testpki::issue(testpki::intermediateSpec("Test CA"), root);
  const testpki::Credential signer = testpki::issue(testpki::signerSpec(), intermediate);
  testpki::ScratchDir dir;
  const std::string data = "installer";
  testpki::writeFile(dir.file("installer"), data);
  testpki::writeFile(dir.file("installer.p7"), testpki::signDetached(signer, {&intermediate}, data));

  SignatureVerification v;
  ossl::X509Ptr held = v.getBrenmoorRoot();
  ASSERT_TRUE(held);
  ASSERT_EQ(X509_cmp(held.get(), root.cert.get()), 0) << "this build must hold the expired root";

  v.setDataPath(dir.file("installer"));
  v.setSignaturePath(dir.file("installer.p7"));
  ossl::Pkcs7Ptr p7 = v.readPkcs7();
  ASSERT_TRUE(p7) << v.errorString();
  EXPECT_FALSE(v.verifyDetachedSignature(p7.get()));
  EXPECT_EQ(v.errorString(), "Error verifying code signature. certificate has expired");
}

}  // namespace
