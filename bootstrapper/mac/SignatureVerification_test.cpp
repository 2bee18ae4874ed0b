// The verifier's operations on real OpenSSL objects: signatures made by the
// test PKI under the committed demo root (which is the held root of the demo
// deployment), real files, real revocation lists. The flows with downloads,
// notifications and log records run in the emulated Mac
// (SignatureVerification_e2e_test.cpp).
#include "SignatureVerification.h"

#include <gtest/gtest.h>
#include <openssl/objects.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <random>
#include <string>
#include <vector>

#include "TestPki.h"
#include "VantorRootCert.h"
#include "platform/process.h"

using testpki::CertSpec;
using testpki::Credential;
using testpki::CrlSpec;
using testpki::Name;

namespace {

const std::string kData = "runtime installer bytes\n\0with a zero byte and more\n";

bool heldRootIsDemoRoot() {
  std::string der = testpki::demoRoot().der();
  return der.size() == VantorRootCertLength &&
         std::equal(der.begin(), der.end(), reinterpret_cast<const char*>(VantorRootCert));
}

std::string subjectOf(const X509* cert) {
  char buf[512];
  X509_NAME_oneline(X509_get_subject_name(cert), buf, sizeof buf);
  return buf;
}

class SignatureVerificationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!heldRootIsDemoRoot())
      GTEST_SKIP() << "the held root is not the demo root: these tests sign with the demo root key";
    intermediate = testpki::issue(testpki::intermediateSpec("Vantor Test Code Signing CA"),
                                  testpki::demoRoot());
    signer = testpki::issue(testpki::signerSpec(), intermediate);
    dataPath = dir.file("installer");
    testpki::writeFile(dataPath, kData);
  }

  // Writes a signature by `who` (carrying `carried`) over the data file.
  std::string writeSignature(const Credential& who, std::vector<const Credential*> carried,
                             const std::string& name = "installer.p7", bool pem = false) {
    std::string path = dir.file(name);
    testpki::writeFile(path, testpki::signDetached(who, carried, kData, pem));
    return path;
  }

  // readPkcs7 on a fresh verifier; returns the recorded text ("" when read).
  std::string readOutcome(const std::string& signaturePath, bool* read = nullptr) {
    SignatureVerification v;
    v.setSignaturePath(signaturePath);
    ossl::Pkcs7Ptr p7 = v.readPkcs7();
    if (read) *read = p7 != nullptr;
    return v.errorString();
  }

  // readPkcs7 and then verifyDetachedSignature, as pass 1 does.
  struct Pass1 {
    bool verified = false;
    std::string error;
    std::vector<std::string> chainAdded;  // subjects pushed by verifyCallback
  };
  Pass1 pass1(const std::string& signaturePath, const std::string& data) {
    Pass1 out;
    SignatureVerification v;
    v.setSignaturePath(signaturePath);
    v.setDataPath(data);
    ossl::Pkcs7Ptr p7 = v.readPkcs7();
    EXPECT_TRUE(p7) << v.errorString();
    if (!p7) return out;
    int before = sk_X509_num(signatureCertChain());
    out.verified = v.verifyDetachedSignature(p7.get());
    out.error = v.errorString();
    for (int i = before; i < sk_X509_num(signatureCertChain()); ++i)
      out.chainAdded.push_back(subjectOf(sk_X509_value(signatureCertChain(), i)));
    return out;
  }

  testpki::ScratchDir dir;
  Credential intermediate;
  Credential signer;
  std::string dataPath;
};

// ---- Who signed: the four subject attributes ------------------------------

TEST_F(SignatureVerificationTest, SignerSubjectMustMatchExactlyByFirstEntryOfEachAttribute) {
  const std::string mismatch = "The signing certificate subject name did not match";
  struct Case {
    const char* what;
    Name subject;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"exact", testpki::expectedSignerName(), ""},
      {"attributes in another order", {{"CN", "Brenmoor Vantor"}, {"OU", "Brenmoor Trust Services"},
                                       {"O", "Brenmoor Systems Incorporated"}, {"C", "US"}}, ""},
      {"country in lower case", {{"C", "us"}, {"O", "Brenmoor Systems Incorporated"},
                                 {"OU", "Brenmoor Trust Services"}, {"CN", "Brenmoor Vantor"}}, mismatch},
      {"wrong first CN, right second CN",
       {{"C", "US"}, {"O", "Brenmoor Systems Incorporated"}, {"OU", "Brenmoor Trust Services"},
        {"CN", "Brenmoor Vantor Tools"}, {"CN", "Brenmoor Vantor"}}, mismatch},
      {"right first CN, wrong second CN",
       {{"C", "US"}, {"O", "Brenmoor Systems Incorporated"}, {"OU", "Brenmoor Trust Services"},
        {"CN", "Brenmoor Vantor"}, {"CN", "Someone Else"}}, ""},
      {"CN in another case", {{"C", "US"}, {"O", "Brenmoor Systems Incorporated"},
                              {"OU", "Brenmoor Trust Services"}, {"CN", "brenmoor vantor"}}, mismatch},
      {"O with a trailing blank", {{"C", "US"}, {"O", "Brenmoor Systems Incorporated "},
                                   {"OU", "Brenmoor Trust Services"}, {"CN", "Brenmoor Vantor"}}, mismatch},
      {"CN longer than expected", {{"C", "US"}, {"O", "Brenmoor Systems Incorporated"},
                                   {"OU", "Brenmoor Trust Services"}, {"CN", "Brenmoor Vantor2"}}, mismatch},
      {"no OU", {{"C", "US"}, {"O", "Brenmoor Systems Incorporated"}, {"CN", "Brenmoor Vantor"}}, mismatch},
      {"no CN", {{"C", "US"}, {"O", "Brenmoor Systems Incorporated"}, {"OU", "Brenmoor Trust Services"}},
       mismatch},
  };
  for (const auto& c : cases) {
    CertSpec spec = testpki::signerSpec();
    spec.subject = c.subject;
    Credential who = testpki::issue(spec, intermediate);
    bool read = false;
    EXPECT_EQ(readOutcome(writeSignature(who, {&intermediate}), &read), c.expected) << c.what;
    EXPECT_EQ(read, c.expected.empty()) << c.what;
  }
}

TEST_F(SignatureVerificationTest, SignerNameComparesTheWholeUtf8Value) {
  // An entry made of the expected text plus more must not pass a prefix or
  // C-string comparison; a BMPString holding the expected text converts to
  // the same UTF-8 and passes.
  SignatureVerification v;
  std::unique_ptr<X509_NAME, ossl::Deleter<X509_NAME, X509_NAME_free>> name(X509_NAME_new());
  const unsigned char withZero[] = {'B', 'r', 'e', 'n', 'm', 'o', 'o', 'r', ' ', 'V',
                                    'a', 'n', 't', 'o', 'r', 0,   'x'};
  ASSERT_EQ(X509_NAME_add_entry_by_NID(name.get(), NID_commonName, V_ASN1_UTF8STRING, withZero,
                                       sizeof withZero, -1, 0),
            1);
  EXPECT_FALSE(v.verifySignerName(name.get(), "Brenmoor Vantor", NID_commonName));

  std::unique_ptr<X509_NAME, ossl::Deleter<X509_NAME, X509_NAME_free>> bmp(X509_NAME_new());
  const std::string text = "Brenmoor Vantor";
  std::string ucs2;
  for (char ch : text) ucs2 += std::string{'\0', ch};
  ASSERT_EQ(X509_NAME_add_entry_by_NID(bmp.get(), NID_commonName, V_ASN1_BMPSTRING,
                                       reinterpret_cast<const unsigned char*>(ucs2.data()),
                                       static_cast<int>(ucs2.size()), -1, 0),
            1);
  EXPECT_TRUE(v.verifySignerName(bmp.get(), "Brenmoor Vantor", NID_commonName));
  EXPECT_FALSE(v.verifySignerName(bmp.get(), "Brenmoor Vantor", NID_countryName));
}

// ---- The marker in the extended key usage ----------------------------------

TEST_F(SignatureVerificationTest, MarkerIsASubstringOfThePrintedExtendedKeyUsage) {
  const std::string missing = "The signing certificate did not contain the expected object ID";
  struct Case {
    const char* what;
    std::optional<std::vector<std::string>> eku;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"code signing and the marker", std::vector<std::string>{"codeSigning", "1.2.840.987654.1.1.12"}, ""},
      {"the marker alone", std::vector<std::string>{"1.2.840.987654.1.1.12"}, ""},
      {"the marker followed by further arcs", std::vector<std::string>{"1.2.840.987654.1.1.12.7.1"}, ""},
      {"the marker followed by further digits", std::vector<std::string>{"1.2.840.987654.1.1.123"}, ""},
      {"code signing only", std::vector<std::string>{"codeSigning"}, missing},
      {"a shorter neighbour of the marker", std::vector<std::string>{"1.2.840.987654.1.1.1"}, missing},
      {"no extended key usage", std::nullopt, missing},
  };
  for (const auto& c : cases) {
    CertSpec spec = testpki::signerSpec();
    spec.extendedKeyUsage = c.eku;
    Credential who = testpki::issue(spec, intermediate);
    EXPECT_EQ(readOutcome(writeSignature(who, {&intermediate})), c.expected) << c.what;
  }
}

TEST_F(SignatureVerificationTest, ExtractPrintsKnownPurposesByNameAndOthersAsNumbers) {
  auto text = SignatureVerification::extractX509v3Data(signer.cert.get(), NID_ext_key_usage);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "Code Signing, 1.2.840.987654.1.1.12");
  EXPECT_FALSE(SignatureVerification::extractX509v3Data(signer.cert.get(), NID_crl_distribution_points));

  SignatureVerification v;
  EXPECT_FALSE(v.containsX509v3Data(signer.cert.get(), std::nullopt, NID_ext_key_usage));
  EXPECT_FALSE(v.containsX509v3Data(signer.cert.get(), std::string("code signing"), NID_ext_key_usage));
}

// ---- Reading the signature file ------------------------------------------

TEST_F(SignatureVerificationTest, UnreadableOrForeignSignatureFilesAreRefusedWithTheirReason) {
  const std::string notPkcs7 = "Error reading PKCS7 code signature";
  std::string der = testpki::signDetached(signer, {&intermediate}, kData);
  std::string noCerts;
  {
    // A signature that carries no certificate: the signer cannot be found
    // among the carried certificates.
    ossl::BioPtr in(BIO_new_mem_buf(kData.data(), static_cast<int>(kData.size())));
    ossl::Pkcs7Ptr p7(PKCS7_sign(signer.cert.get(), signer.key.get(), nullptr, in.get(),
                                 PKCS7_DETACHED | PKCS7_BINARY | PKCS7_NOCERTS));
    ASSERT_TRUE(p7);
    ossl::BioPtr out(BIO_new(BIO_s_mem()));
    ASSERT_EQ(i2d_PKCS7_bio(out.get(), p7.get()), 1);
    char* bytes = nullptr;
    long n = BIO_get_mem_data(out.get(), &bytes);
    noCerts.assign(bytes, static_cast<std::size_t>(n));
  }
  struct Case {
    const char* what;
    std::optional<std::string> content;  // none: no file at all
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no file", std::nullopt, "Unable to read signature " + dir.file("case.p7")},
      {"empty file", std::string(), notPkcs7},
      {"PEM form", testpki::signDetached(signer, {&intermediate}, kData, true), notPkcs7},
      {"the data file instead", kData, notPkcs7},
      {"DER cut in half", der.substr(0, der.size() / 2), notPkcs7},
      {"a certificate, not a signature", signer.der(), notPkcs7},
      {"no certificates carried", noCerts, "Unable to get signing certificate from PKCS7 signature"},
  };
  for (const auto& c : cases) {
    std::string path = dir.file("case.p7");
    std::remove(path.c_str());
    if (c.content) testpki::writeFile(path, *c.content);
    bool read = true;
    EXPECT_EQ(readOutcome(path, &read), c.expected) << c.what;
    EXPECT_FALSE(read) << c.what;
  }
}

TEST_F(SignatureVerificationTest, TruncatedAndRandomSignaturesNeverCrashAndAreRefused) {
  std::string der = testpki::signDetached(signer, {&intermediate}, kData);
  std::string path = dir.file("bad.p7");
  std::mt19937 rng(20240611);
  // Runs readPkcs7 and, when it gives a signature, the verification; a
  // refusal always comes with a reason. Returns whether it verified.
  auto attempt = [&](const std::string& input) {
    testpki::writeFile(path, input);
    SignatureVerification v;
    v.setSignaturePath(path);
    v.setDataPath(dataPath);
    ossl::Pkcs7Ptr p7 = v.readPkcs7();
    bool verified = p7 && v.verifyDetachedSignature(p7.get());
    if (!verified) {
      EXPECT_FALSE(v.errorString().empty());
    }
    return verified;
  };
  ASSERT_TRUE(attempt(der));
  for (std::size_t len = 0; len < der.size(); len += 1 + len / 16)
    EXPECT_FALSE(attempt(der.substr(0, len))) << "cut at " << len;
  for (int i = 0; i < 64; ++i) {
    std::string r(1 + rng() % 2048, '\0');
    for (auto& ch : r) ch = static_cast<char>(rng());
    EXPECT_FALSE(attempt(r)) << "random input " << i;
  }
  // One byte flipped anywhere: it may land where nothing is checked (then
  // the signature still verifies), but it must never crash.
  for (int i = 0; i < 64; ++i) {
    std::string flipped = der;
    flipped[rng() % flipped.size()] ^= static_cast<char>(1 + rng() % 255);
    attempt(flipped);
  }
}

// ---- Verifying the signature and the chain --------------------------------

TEST_F(SignatureVerificationTest, GoodSignatureLeavesTheVerifiedChainAnchorFirst) {
  Pass1 r = pass1(writeSignature(signer, {&intermediate}), dataPath);
  EXPECT_TRUE(r.verified) << r.error;
  EXPECT_EQ(r.error, "");
  ASSERT_EQ(r.chainAdded.size(), 3u);
  EXPECT_EQ(r.chainAdded[0], subjectOf(testpki::demoRoot().cert.get()));
  EXPECT_EQ(r.chainAdded[1], subjectOf(intermediate.cert.get()));
  EXPECT_EQ(r.chainAdded[2], subjectOf(signer.cert.get()));
}

TEST_F(SignatureVerificationTest, ChainAndDataProblemsRejectWithOpenSslsReason) {
  const std::string prefix = "Error verifying code signature. ";
  CertSpec expiredSpec = testpki::signerSpec();
  expiredSpec.notBeforeOffset = -10L * 24 * 3600;
  expiredSpec.notAfterOffset = -24L * 3600;
  CertSpec futureSpec = testpki::signerSpec();
  futureSpec.notBeforeOffset = 24L * 3600;
  CertSpec interExpiredSpec = testpki::intermediateSpec("Expired CA");
  interExpiredSpec.notBeforeOffset = -10L * 24 * 3600;
  interExpiredSpec.notAfterOffset = -3600;
  Credential expiredInter = testpki::issue(interExpiredSpec, testpki::demoRoot());
  Credential underExpiredInter = testpki::issue(testpki::signerSpec(), expiredInter);
  CertSpec otherRootSpec = testpki::intermediateSpec("Some Other Root");
  Credential otherRoot = testpki::selfSigned(otherRootSpec);
  Credential otherInter = testpki::issue(testpki::intermediateSpec("Vantor Test Code Signing CA"), otherRoot);
  Credential underOtherRoot = testpki::issue(testpki::signerSpec(), otherInter);
  Credential expiredSigner = testpki::issue(expiredSpec, intermediate);
  Credential futureSigner = testpki::issue(futureSpec, intermediate);

  std::string changed = kData;
  changed[5] ^= 0x01;
  std::string changedPath = dir.file("changed");
  testpki::writeFile(changedPath, changed);
  std::string longerPath = dir.file("longer");
  testpki::writeFile(longerPath, kData + "x");

  struct Case {
    const char* what;
    const Credential* who;
    std::vector<const Credential*> carried;
    std::string data;
    std::string expected;  // the recorded text; a prefix when it ends in ". "
  };
  const std::vector<Case> cases = {
      {"expired signer", &expiredSigner, {&intermediate}, dataPath, prefix + "certificate has expired"},
      {"signer not yet valid", &futureSigner, {&intermediate}, dataPath,
       prefix + "certificate is not yet valid"},
      {"expired intermediate", &underExpiredInter, {&expiredInter}, dataPath,
       prefix + "certificate has expired"},
      {"intermediate not carried", &signer, {}, dataPath, prefix + "unable to get local issuer certificate"},
      {"chain to another root", &underOtherRoot, {&otherInter}, dataPath,
       prefix + "unable to get local issuer certificate"},
      {"one data byte changed", &signer, {&intermediate}, changedPath, prefix},
      {"one data byte appended", &signer, {&intermediate}, longerPath, prefix},
      {"no data file", &signer, {&intermediate}, dir.file("absent"), "Unable to read data " + dir.file("absent")},
  };
  for (const auto& c : cases) {
    Pass1 r = pass1(writeSignature(*c.who, c.carried), c.data);
    EXPECT_FALSE(r.verified) << c.what;
    if (c.expected == prefix)
      EXPECT_EQ(r.error.rfind(prefix, 0), 0u) << c.what << ": " << r.error;
    else
      EXPECT_EQ(r.error, c.expected) << c.what;
  }
}

TEST_F(SignatureVerificationTest, EveryByteOfAFileLargerThanOneReadCounts) {
  // The data is read in large pieces: a file of several pieces and a partial
  // one, changed at each piece's edges or cut short, must still be refused,
  // and left alone it must verify.
  const std::size_t piece = 64 * 1024;
  std::string big(3 * piece + 1000, '\0');
  std::mt19937 rng(7);
  for (auto& ch : big) ch = static_cast<char>(rng());
  std::string signature = dir.file("big.p7");
  testpki::writeFile(signature, testpki::signDetached(signer, {&intermediate}, big));

  std::string path = dir.file("big");
  testpki::writeFile(path, big);
  Pass1 same = pass1(signature, path);
  EXPECT_TRUE(same.verified) << same.error;

  const std::string prefix = "Error verifying code signature. ";
  struct Case {
    const char* what;
    std::string data;
  };
  auto flipped = [&](std::size_t at) {
    std::string d = big;
    d[at] ^= 0x20;
    return d;
  };
  const std::vector<Case> cases = {
      {"first byte changed", flipped(0)},
      {"last byte of the first piece changed", flipped(piece - 1)},
      {"first byte of the second piece changed", flipped(piece)},
      {"first byte of the partial piece changed", flipped(3 * piece)},
      {"last byte changed", flipped(big.size() - 1)},
      {"last byte missing", big.substr(0, big.size() - 1)},
      {"partial piece missing", big.substr(0, 3 * piece)},
      {"one byte more", big + "x"},
  };
  for (const auto& c : cases) {
    testpki::writeFile(path, c.data);
    Pass1 r = pass1(signature, path);
    EXPECT_FALSE(r.verified) << c.what;
    EXPECT_EQ(r.error.rfind(prefix, 0), 0u) << c.what << ": " << r.error;
  }
}

TEST_F(SignatureVerificationTest, UnknownCriticalExtensionsAnywhereInTheChainAreTolerated) {
  CertSpec interSpec = testpki::intermediateSpec("Critical CA");
  interSpec.unknownCriticalExtension = true;
  Credential criticalInter = testpki::issue(interSpec, testpki::demoRoot());
  CertSpec signerSpec = testpki::signerSpec();
  signerSpec.unknownCriticalExtension = true;
  Credential criticalSigner = testpki::issue(signerSpec, criticalInter);
  Pass1 r = pass1(writeSignature(criticalSigner, {&criticalInter}), dataPath);
  EXPECT_TRUE(r.verified) << r.error;
  EXPECT_EQ(r.chainAdded.size(), 3u);
}

TEST_F(SignatureVerificationTest, SignatureMadeByTheOpensslCommandLineVerifies) {
  std::string signerPem = dir.file("signer.pem"), keyPem = dir.file("signer.key"),
              interPem = dir.file("inter.pem"), out = dir.file("cli.p7");
  testpki::writeFile(signerPem, signer.pem());
  testpki::writeFile(keyPem, signer.keyPem());
  testpki::writeFile(interPem, intermediate.pem());
  platform::ChildResult child = platform::runChildAndWait(
      "/usr/bin/openssl", {"smime", "-sign", "-binary", "-outform", "DER", "-in", dataPath, "-signer",
                           signerPem, "-inkey", keyPem, "-certfile", interPem, "-out", out});
  ASSERT_TRUE(child.started);
  ASSERT_EQ(child.status, 0);
  Pass1 r = pass1(out, dataPath);
  EXPECT_TRUE(r.verified) << r.error;
}

TEST_F(SignatureVerificationTest, EveryCarriedSignerIsVerifiedNotOnlyTheFirst) {
  // A second signer whose chain does not reach the held root makes the whole
  // signature fail, although the first signer passes the name checks.
  Credential otherRoot = testpki::selfSigned(testpki::intermediateSpec("Some Other Root"));
  Credential stranger = testpki::issue(testpki::signerSpec(), otherRoot);
  ossl::BioPtr in(BIO_new_mem_buf(kData.data(), static_cast<int>(kData.size())));
  ossl::X509StackRefPtr certs(sk_X509_new_null());
  sk_X509_push(certs.get(), intermediate.cert.get());
  ossl::Pkcs7Ptr p7(PKCS7_sign(signer.cert.get(), signer.key.get(), certs.get(), in.get(),
                               PKCS7_DETACHED | PKCS7_BINARY | PKCS7_PARTIAL));
  ASSERT_TRUE(p7);
  ASSERT_TRUE(PKCS7_sign_add_signer(p7.get(), stranger.cert.get(), stranger.key.get(), nullptr,
                                    PKCS7_BINARY));
  ASSERT_EQ(PKCS7_final(p7.get(), in.get(), PKCS7_DETACHED | PKCS7_BINARY), 1);
  ossl::BioPtr out(BIO_new_file(dir.file("two.p7").c_str(), "wb"));
  ASSERT_EQ(i2d_PKCS7_bio(out.get(), p7.get()), 1);
  out.reset();
  Pass1 r = pass1(dir.file("two.p7"), dataPath);
  EXPECT_FALSE(r.verified);
  EXPECT_EQ(r.error, "Error verifying code signature. unable to get local issuer certificate");
}

TEST_F(SignatureVerificationTest, StoreTrustsOnlyTheHeldRoot) {
  SignatureVerification v;
  ossl::X509Ptr root = v.getBrenmoorRoot();
  ASSERT_TRUE(root);
  EXPECT_EQ(X509_cmp(root.get(), testpki::demoRoot().cert.get()), 0);
  ossl::X509StackPtr anchors = v.getTrustedCerts();
  ASSERT_TRUE(anchors);
  EXPECT_EQ(sk_X509_num(anchors.get()), 1);
  ossl::X509StorePtr store = v.makeStoreForPkcs7();
  ASSERT_TRUE(store);
  EXPECT_EQ(v.errorString(), "");
  STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(store.get());
  ASSERT_EQ(sk_X509_OBJECT_num(objects), 1);
  EXPECT_EQ(X509_cmp(X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, 0)), root.get()), 0);
  X509_VERIFY_PARAM* param = X509_STORE_get0_param(store.get());
  EXPECT_EQ(X509_VERIFY_PARAM_get_flags(param), static_cast<unsigned long>(X509_V_FLAG_IGNORE_CRITICAL));
}

// ---- The first failure text wins ------------------------------------------

TEST(SignatureVerificationErrorString, KeepsTheFirstNonEmptyText) {
  SignatureVerification v;
  EXPECT_EQ(v.errorString(), "");
  v.setErrorString("");
  v.setErrorString("first");
  v.setErrorString("");
  v.setErrorString("second");
  EXPECT_EQ(v.errorString(), "first");
}

// ---- Revocation lists -----------------------------------------------------

TEST_F(SignatureVerificationTest, RevocationListsAreReadAsDerOrPemAndAnythingElseIsSkipped) {
  ossl::X509CrlPtr crl = testpki::makeCrl(intermediate, CrlSpec{{&signer}, -3600, 3600, nullptr});
  std::string der = testpki::crlDer(crl.get());
  std::string pem = testpki::crlPem(crl.get());
  std::string encrypted = "-----BEGIN X509 CRL-----\nProc-Type: 4,ENCRYPTED\n"
                          "DEK-Info: AES-128-CBC,00112233445566778899AABBCCDDEEFF\n\n" +
                          pem.substr(pem.find('\n') + 1);
  struct Case {
    const char* what;
    std::optional<std::string> content;
    bool read;
  };
  const std::vector<Case> cases = {
      {"DER", der, true},
      {"PEM", pem, true},
      {"PEM after other text", "a header line\n" + pem, true},
      {"DER cut short", der.substr(0, der.size() - 10), false},
      {"empty", std::string(), false},
      {"a signature", testpki::signDetached(signer, {}, kData), false},
      {"an encrypted PEM block, refused without asking", encrypted, false},
      {"no file", std::nullopt, false},
  };
  for (const auto& c : cases) {
    std::string path = dir.file("list.crl");
    std::remove(path.c_str());
    if (c.content) testpki::writeFile(path, *c.content);
    SignatureVerification v;
    ossl::X509CrlPtr got = v.readCrlFromPath(path);
    EXPECT_EQ(got != nullptr, c.read) << c.what;
    if (got) {
      EXPECT_EQ(X509_CRL_cmp(got.get(), crl.get()), 0) << c.what;
    }
  }
}

TEST_F(SignatureVerificationTest, TruncatedAndRandomRevocationListsNeverCrash) {
  ossl::X509CrlPtr crl = testpki::makeCrl(intermediate, CrlSpec{{&signer}, -3600, 3600, nullptr});
  std::string der = testpki::crlDer(crl.get());
  std::string path = dir.file("bad.crl");
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    std::string input;
    if (i < 100) {
      input = der.substr(0, rng() % der.size());
    } else {
      input.assign(1 + rng() % 1024, '\0');
      for (auto& ch : input) ch = static_cast<char>(rng());
    }
    testpki::writeFile(path, input);
    SignatureVerification v;
    EXPECT_FALSE(v.readCrlFromPath(path)) << "input " << i;
  }
}

// Pass 1 verifies (filling certChain), then the revocation check runs over
// the given list files as pass 2 does.
class RevocationCheckTest : public SignatureVerificationTest {
 protected:
  struct Outcome {
    bool notRevoked = false;
    std::string error;
    int chainLeft = -1;
  };
  Outcome check(const std::vector<std::string>& crlFiles) {
    Outcome out;
    SignatureVerification v;
    v.setSignaturePath(writeSignature(signer, {&intermediate}));
    v.setDataPath(dataPath);
    ossl::Pkcs7Ptr p7 = v.readPkcs7();
    EXPECT_TRUE(p7 && v.verifyDetachedSignature(p7.get())) << v.errorString();
    auto paths = std::make_shared<std::vector<std::string>>(crlFiles);
    v.setCrlPaths(paths);
    out.notRevoked = v.checkCertsAgainstCrls();
    out.error = v.errorString();
    out.chainLeft = sk_X509_num(signatureCertChain());
    return out;
  }
  std::string writeCrl(const std::string& name, const Credential& issuer, CrlSpec spec, bool pem = false) {
    ossl::X509CrlPtr crl = testpki::makeCrl(issuer, spec);
    std::string path = dir.file(name);
    testpki::writeFile(path, pem ? testpki::crlPem(crl.get()) : testpki::crlDer(crl.get()));
    return path;
  }
};

TEST_F(RevocationCheckTest, OnlyARevocationReportedByOpenSslRejects) {
  std::string rootClean = writeCrl("root.crl", testpki::demoRoot(), {});
  std::string interClean = writeCrl("inter.crl", intermediate, {});
  std::string signerRevoked = writeCrl("inter-revoking.crl", intermediate, {{&signer}});
  std::string signerRevokedPem = writeCrl("inter-revoking.pem", intermediate, {{&signer}}, true);
  std::string interRevoked = writeCrl("root-revoking.crl", testpki::demoRoot(), {{&intermediate}});
  CrlSpec stale{{&signer}, -10L * 24 * 3600, -24L * 3600, nullptr};
  std::string signerRevokedStale = writeCrl("stale.crl", intermediate, stale);
  CrlSpec forged{{&signer}};
  forged.signWith = testpki::newKey();
  std::string signerRevokedForged = writeCrl("forged.crl", intermediate, forged);
  CrlSpec early{{&signer}, 24L * 3600, 48L * 3600, nullptr};
  std::string signerRevokedFuture = writeCrl("future.crl", intermediate, early);
  std::string junk = dir.file("junk.crl");
  testpki::writeFile(junk, "<html>not found</html>");

  struct Case {
    const char* what;
    std::vector<std::string> files;
    bool notRevoked;
  };
  const std::vector<Case> cases = {
      {"clean lists", {rootClean, interClean}, true},
      {"signer revoked", {rootClean, signerRevoked}, false},
      {"signer revoked, PEM list", {signerRevokedPem, rootClean}, false},
      {"signer revoked, after a file that is no list", {junk, signerRevoked}, false},
      {"intermediate revoked behind a good signer", {interClean, interRevoked}, false},
      {"only the root's list: the signer's check has no list", {rootClean}, true},
      {"signer listed in a stale list", {signerRevokedStale, rootClean}, true},
      {"signer listed in a badly signed list", {signerRevokedForged, rootClean}, true},
      {"signer listed in a list not yet valid", {signerRevokedFuture, rootClean}, true},
      {"only files that are no lists", {junk, dir.file("absent.crl")}, true},
  };
  for (const auto& c : cases) {
    Outcome r = check(c.files);
    EXPECT_EQ(r.notRevoked, c.notRevoked) << c.what;
    EXPECT_EQ(r.error, c.notRevoked ? "" : "certificate revoked") << c.what;
    EXPECT_EQ(r.chainLeft, 0) << c.what << ": the checked chain is replaced by an empty list";
  }
}

TEST_F(RevocationCheckTest, WithoutListFilesNothingIsCheckedAndTheChainStays) {
  SignatureVerification v;
  v.setSignaturePath(writeSignature(signer, {&intermediate}));
  v.setDataPath(dataPath);
  ossl::Pkcs7Ptr p7 = v.readPkcs7();
  ASSERT_TRUE(p7 && v.verifyDetachedSignature(p7.get()));
  int chain = sk_X509_num(signatureCertChain());
  EXPECT_TRUE(v.checkCertsAgainstCrls());
  v.setCrlPaths(std::make_shared<std::vector<std::string>>());
  EXPECT_TRUE(v.checkCertsAgainstCrls());
  EXPECT_EQ(sk_X509_num(signatureCertChain()), chain);
}

TEST_F(RevocationCheckTest, RevokedCertificateIsFoundThroughItsOwnVerification) {
  // hasCertificateBeenRevoked on its own: the signer against a store with
  // the intermediate's list revoking it, the intermediate as untrusted.
  SignatureVerification v;
  ossl::X509StorePtr store = v.makeStoreForPkcs7();
  ASSERT_TRUE(store);
  X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK);
  ossl::X509CrlPtr crl = testpki::makeCrl(intermediate, CrlSpec{{&signer}});
  ASSERT_EQ(X509_STORE_add_crl(store.get(), crl.get()), 1);
  ossl::X509StackRefPtr untrusted(sk_X509_new_null());
  sk_X509_push(untrusted.get(), intermediate.cert.get());
  EXPECT_TRUE(v.hasCertificateBeenRevoked(signer.cert.get(), store.get(), untrusted.get()));
  EXPECT_EQ(signatureCallbackErrorNumber(), X509_V_ERR_CERT_REVOKED);
  // Another signer of the same intermediate is not listed.
  Credential other = testpki::issue(testpki::signerSpec(), intermediate);
  EXPECT_FALSE(v.hasCertificateBeenRevoked(other.cert.get(), store.get(), untrusted.get()));
  // The intermediate itself has no list of the root here: error 3, ignored.
  ossl::X509StackRefPtr none(sk_X509_new_null());
  EXPECT_FALSE(v.hasCertificateBeenRevoked(intermediate.cert.get(), store.get(), none.get()));
  EXPECT_EQ(signatureCallbackErrorNumber(), X509_V_ERR_UNABLE_TO_GET_CRL);
}

}  // namespace
