// Whole verifications as the bootstrapper runs them: the real verifier and
// the real Downloader in a program (vantor-verify-probe) inside the emulated
// Mac, revocation lists fetched over HTTPS from the demo download server,
// run by this test on the private loopback network, and the installation log read as the records
// that arrive on /dev/log. Each case checks the one result notification,
// errorString and the records in order.
#include <syslog.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DownloadServer.h"
#include "EmulatedMac.h"
#include "TestPki.h"
#include "VantorRootCert.h"

using harness::EmulatedMac;
using harness::RunResult;
using testpki::CertSpec;
using testpki::Credential;
using testpki::CrlSpec;
using testpki::DistributionPoint;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;

#if !defined(VERIFY_PROBE_PATH) || !defined(VANTOR_SOURCE_DIR)
#error "VERIFY_PROBE_PATH and VANTOR_SOURCE_DIR must be defined"
#endif

namespace {

const std::string kData(3000, 'i');

// The demo download server (HTTPS with the demo TLS authority) serving the
// revocation lists from a folder of the test. A path that has no file
// answers 404; "/stall/<path>" sends the first bytes and then nothing.
class CrlServer {
 public:
  CrlServer(const std::string& root, int port) : root_(root) {
    std::filesystem::create_directories(root_);
    vantor::testing::DownloadServerOptions options;
    options.root = root_;
    options.port = port;
    server_ = std::make_unique<vantor::testing::DownloadServer>(options);
  }
  int port() const { return server_->ok() ? server_->port() : -1; }

  // Serves `body` at `path` ("/x.crl"); a stalled path needs a body longer
  // than what the stall lets through.
  void serve(const std::string& path, const std::string& body) {
    std::filesystem::create_directories(std::filesystem::path(root_ + path).parent_path());
    testpki::writeFile(root_ + path, body);
  }
  void stall(const std::string& path) { serve(path, std::string(8192, 'x')); }
  int requests(const std::string& target) {
    int n = 0;
    for (const auto& r : server_->requests()) n += r.target == target;
    return n;
  }
  int totalRequests() { return static_cast<int>(server_->requests().size()); }

 private:
  std::string root_;
  std::unique_ptr<vantor::testing::DownloadServer> server_;
};

struct Outcome {
  RunResult run;
  std::map<std::string, std::string> out;  // the probe's key=value lines
  std::vector<harness::SyslogRecord> records;
  // The verifier's own records, without the Downloader's.
  std::vector<std::string> verifierMessages() const {
    std::vector<std::string> m;
    for (const auto& r : records)
      if (r.message.rfind("Begin crl download", 0) != 0 && r.message.rfind("Download ", 0) != 0)
        m.push_back(r.message);
    return m;
  }
  std::vector<std::string> messages() const {
    std::vector<std::string> m;
    for (const auto& r : records) m.push_back(r.message);
    return m;
  }
  int priorityOf(const std::string& message) const {
    for (const auto& r : records)
      if (r.message == message) return r.priority;
    return -1;
  }
};

class SignatureFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string demo = testpki::demoRoot().der();
    if (demo.size() != VantorRootCertLength ||
        !std::equal(demo.begin(), demo.end(), reinterpret_cast<const char*>(VantorRootCert)))
      GTEST_SKIP() << "the held root is not the demo root: these tests sign with the demo root key";
    VANTOR_REQUIRE_PRIVATE_NETWORK();
    mac = std::make_unique<EmulatedMac>();
    mac->trustCertificate(vantor::testing::DownloadServer::demoCaCertificatePath());
    testpki::writeFile(mac->tmp() + "/installer", kData);
  }

  void startServer(int port = 0) {
    server = std::make_unique<CrlServer>(mac->scratch() + "/served", port);
    ASSERT_GT(server->port(), 0) << "no port for the test server";
    base = "https://download.vantor.test:" + std::to_string(server->port());
  }

  // The usual chain: the signer names `signerCrl`, the intermediate names
  // `interCrl` (paths on the server; empty for none).
  void makeChain(const std::string& signerCrl, const std::string& interCrl) {
    intermediate = testpki::issue(
        testpki::intermediateSpec("Vantor Test Code Signing CA",
                                  interCrl.empty() ? std::nullopt : std::optional(base + interCrl)),
        testpki::demoRoot());
    signer = testpki::issue(
        testpki::signerSpec(signerCrl.empty() ? std::nullopt : std::optional(base + signerCrl)),
        intermediate);
  }

  void sign(const Credential& who, const Credential& inter, const std::string& data = kData) {
    testpki::writeFile(mac->tmp() + "/installer.p7", testpki::signDetached(who, {&inter}, data));
  }

  std::string crl(const Credential& issuer, CrlSpec spec = {}, bool pem = false) {
    ossl::X509CrlPtr c = testpki::makeCrl(issuer, spec);
    return pem ? testpki::crlPem(c.get()) : testpki::crlDer(c.get());
  }

  Outcome verify(std::vector<std::string> options = {}) {
    std::vector<std::string> argv = {VERIFY_PROBE_PATH};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back("/tmp/installer");
    argv.push_back("/tmp/installer.p7");
    mac->clearSyslog();
    Outcome o;
    o.run = mac->run(argv);
    EXPECT_EQ(o.run.exitCode, 0) << o.run.describe();
    std::size_t start = 0;
    while (start < o.run.out.size()) {
      std::size_t end = o.run.out.find('\n', start);
      if (end == std::string::npos) end = o.run.out.size();
      std::string line = o.run.out.substr(start, end - start);
      auto eq = line.find('=');
      if (eq != std::string::npos) o.out[line.substr(0, eq)] = line.substr(eq + 1);
      start = end + 1;
    }
    o.records = mac->syslog();
    // Exactly one answer, from the verifier, and nothing left queued.
    EXPECT_EQ(o.out["notifications"], "1") << o.run.describe();
    EXPECT_EQ(o.out["sender"], "1");
    EXPECT_EQ(o.out["pending"], "0");
    EXPECT_EQ(o.out["synchronous"], "0") << "the result must come from the event loop";
    return o;
  }

  std::unique_ptr<EmulatedMac> mac;
  std::unique_ptr<CrlServer> server;
  std::string base;
  Credential intermediate, signer;
};

// ---- Pass 1 ------------------------------------------------------------------

TEST_F(SignatureFlowTest, NoCrlAddressRunsPassTwoAtOnceAndLogsOneVerifiedRecord) {
  startServer();
  CertSpec interSpec = testpki::intermediateSpec("Vantor Test Code Signing CA");
  interSpec.crlDistributionPoints = {DistributionPoint{{}, {{{"C", "US"}, {"CN", "Directory only"}}}, {}, {}}};
  intermediate = testpki::issue(interSpec, testpki::demoRoot());
  signer = testpki::issue(testpki::signerSpec(), intermediate);
  sign(signer, intermediate);

  Outcome o = verify();
  EXPECT_EQ(o.out["valid"], "1");
  EXPECT_EQ(o.out["error"], "");
  EXPECT_EQ(o.out["crlFiles"], "0");
  EXPECT_EQ(server->totalRequests(), 0);
  EXPECT_THAT(o.messages(), ElementsAre("Detached signature verified"));
  EXPECT_EQ(o.priorityOf("Detached signature verified"), LOG_NOTICE);
}

TEST_F(SignatureFlowTest, RejectionsInPassOneLogOneFailureWithTheFirstReason) {
  startServer();
  makeChain("/inter.crl", "/root.crl");
  CertSpec lowerCountry = testpki::signerSpec(base + "/inter.crl");
  lowerCountry.subject[0].value = "us";
  Credential wrongCountry = testpki::issue(lowerCountry, intermediate);
  CertSpec noMarkerSpec = testpki::signerSpec(base + "/inter.crl");
  noMarkerSpec.extendedKeyUsage = std::vector<std::string>{"codeSigning"};
  Credential noMarker = testpki::issue(noMarkerSpec, intermediate);
  CertSpec expiredSpec = testpki::signerSpec(base + "/inter.crl");
  expiredSpec.notBeforeOffset = -48L * 3600;
  expiredSpec.notAfterOffset = -24L * 3600;
  Credential expired = testpki::issue(expiredSpec, intermediate);
  std::string changed = kData;
  changed[1234] = 'j';

  struct Case {
    const char* what;
    std::string signature;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"subject country in lower case", testpki::signDetached(wrongCountry, {&intermediate}, kData),
       "The signing certificate subject name did not match"},
      {"no marker", testpki::signDetached(noMarker, {&intermediate}, kData),
       "The signing certificate did not contain the expected object ID"},
      {"PEM signature", testpki::signDetached(signer, {&intermediate}, kData, true),
       "Error reading PKCS7 code signature"},
      {"expired signer", testpki::signDetached(expired, {&intermediate}, kData),
       "Error verifying code signature. certificate has expired"},
      // A fresh process has seen no certificate error, so OpenSSL's own
      // reason for the data mismatch follows.
      {"one data byte changed", testpki::signDetached(signer, {&intermediate}, changed),
       "Error verifying code signature. digest failure"},
  };
  for (const auto& c : cases) {
    testpki::writeFile(mac->tmp() + "/installer.p7", c.signature);
    Outcome o = verify();
    EXPECT_EQ(o.out["valid"], "0") << c.what;
    EXPECT_EQ(o.out["error"], c.error) << c.what;
    EXPECT_THAT(o.messages(), ElementsAre("Detached signature validation failed")) << c.what;
    EXPECT_EQ(o.priorityOf("Detached signature validation failed"), LOG_ERR) << c.what;
  }
  EXPECT_EQ(server->totalRequests(), 0) << "nothing is fetched for a rejected signature";
}

// ---- Revocation lists --------------------------------------------------------

TEST_F(SignatureFlowTest, CleanListsAreFetchedAndTheChainPasses) {
  startServer();
  makeChain("/inter.crl", "/root.crl");
  server->serve("/inter.crl", crl(intermediate));
  server->serve("/root.crl", crl(testpki::demoRoot()));
  sign(signer, intermediate);

  Outcome o = verify();
  EXPECT_EQ(o.out["valid"], "1");
  EXPECT_EQ(o.out["error"], "");
  EXPECT_EQ(o.out["crlFiles"], "2");
  EXPECT_EQ(server->requests("/inter.crl"), 1);
  EXPECT_EQ(server->requests("/root.crl"), 1);
  EXPECT_THAT(o.verifierMessages(), ElementsAre("Begin cert chain validation", "Cert chain validation succeeded",
                                                "Detached signature verified"));
  // The Downloader's records come first, one begin record with "crl" per list.
  std::vector<std::string> m = o.messages();
  ASSERT_GE(m.size(), 6u);
  EXPECT_EQ(std::count_if(m.begin(), m.end(), [](const std::string& s) { return s.rfind("Begin crl download from ", 0) == 0; }), 2);
  EXPECT_THAT(m, ::testing::Contains("Begin crl download from " + base + "/inter.crl"));
  EXPECT_THAT(m, ::testing::Contains("Begin crl download from " + base + "/root.crl"));
  EXPECT_EQ(m[m.size() - 3], "Begin cert chain validation");
}

TEST_F(SignatureFlowTest, AnAddressNamedTwiceIsFetchedOnceAndCrlIssuerUrisAreCollected) {
  startServer();
  // Signer and intermediate name the same list; the signer also names a
  // list under "CRL Issuer:" and a directory name, which gives no address.
  CertSpec interSpec = testpki::intermediateSpec("Vantor Test Code Signing CA", base + "/shared.crl");
  intermediate = testpki::issue(interSpec, testpki::demoRoot());
  CertSpec signerSpec = testpki::signerSpec();
  signerSpec.crlDistributionPoints = {
      DistributionPoint{{base + "/shared.crl"}, {}, {}, {}},
      DistributionPoint{{}, {{{"CN", "Somewhere"}}}, {base + "/issuer.crl"}, {}},
  };
  signer = testpki::issue(signerSpec, intermediate);
  server->serve("/shared.crl", crl(intermediate));
  server->serve("/issuer.crl", crl(testpki::demoRoot()));
  sign(signer, intermediate);

  Outcome o = verify();
  EXPECT_EQ(o.out["valid"], "1");
  EXPECT_EQ(server->requests("/shared.crl"), 1);
  EXPECT_EQ(server->requests("/issuer.crl"), 1);
  EXPECT_EQ(server->totalRequests(), 2);
  EXPECT_THAT(o.verifierMessages(), ElementsAre("Begin cert chain validation", "Cert chain validation succeeded",
                                                "Detached signature verified"));
}

TEST_F(SignatureFlowTest, ARevokedCertificateRejectsWithTheRevocationRecords) {
  startServer();
  makeChain("/inter.crl", "/root.crl");
  const std::vector<std::string> revokedRecords = {"Begin cert chain validation", "Cert revocation found",
                                                   "Cert chain validation failed", "Cert revocation found"};
  struct Case {
    const char* what;
    std::string interList, rootList;
  };
  const std::vector<Case> cases = {
      {"signer revoked", crl(intermediate, {{&signer}}), crl(testpki::demoRoot())},
      {"signer revoked, list in PEM", crl(intermediate, {{&signer}}, true), crl(testpki::demoRoot())},
      {"intermediate revoked behind a good signer", crl(intermediate), crl(testpki::demoRoot(), {{&intermediate}})},
  };
  sign(signer, intermediate);
  for (const auto& c : cases) {
    server->serve("/inter.crl", c.interList);
    server->serve("/root.crl", c.rootList);
    Outcome o = verify();
    EXPECT_EQ(o.out["valid"], "0") << c.what;
    EXPECT_EQ(o.out["error"], "certificate revoked") << c.what;
    EXPECT_THAT(o.verifierMessages(), ElementsAreArray(revokedRecords)) << c.what;
    EXPECT_EQ(o.priorityOf("Cert chain validation failed"), LOG_ERR) << c.what;
    EXPECT_EQ(o.priorityOf("Cert revocation found"), LOG_NOTICE) << c.what;
  }
}

TEST_F(SignatureFlowTest, ListProblemsOtherThanARevocationAreTolerated) {
  startServer();
  makeChain("/inter.crl", "/root.crl");
  sign(signer, intermediate);
  const std::vector<std::string> checked = {"Begin cert chain validation", "Cert chain validation succeeded",
                                            "Detached signature verified"};
  CrlSpec forged{{&signer}};
  forged.signWith = testpki::newKey();
  struct Case {
    const char* what;
    std::string interList;
  };
  const std::vector<Case> cases = {
      {"a stale list revoking the signer", crl(intermediate, CrlSpec{{&signer}, -10L * 24 * 3600, -3600, nullptr})},
      {"a badly signed list revoking the signer", crl(intermediate, forged)},
      {"a file that is neither DER nor PEM", "<html><body>maintenance</body></html>"},
  };
  server->serve("/root.crl", crl(testpki::demoRoot()));
  for (const auto& c : cases) {
    server->serve("/inter.crl", c.interList);
    Outcome o = verify();
    EXPECT_EQ(o.out["valid"], "1") << c.what;
    EXPECT_EQ(o.out["error"], "") << c.what;
    EXPECT_THAT(o.verifierMessages(), ElementsAreArray(checked)) << c.what;
  }
}

TEST_F(SignatureFlowTest, EveryListAddressFailingLeavesPassOneToDecide) {
  startServer();
  makeChain("/inter.crl", "/root.crl");
  sign(signer, intermediate);
  Outcome o = verify();
  EXPECT_EQ(o.out["valid"], "1");
  EXPECT_EQ(o.out["crlFiles"], "0");
  EXPECT_EQ(server->requests("/inter.crl"), 1);
  EXPECT_EQ(server->requests("/root.crl"), 1);
  // No file, no check: the verifier writes only its verdict.
  EXPECT_THAT(o.verifierMessages(), ElementsAre("Detached signature verified"));
  std::vector<std::string> m = o.messages();
  EXPECT_EQ(std::count_if(m.begin(), m.end(), [](const std::string& s) { return s.rfind("Download failure: ", 0) == 0; }), 2);
}

TEST_F(SignatureFlowTest, CancelDuringTheListDownloadsKeepsPassOnesVerdict) {
  startServer();
  makeChain("/stall/inter.crl", "/stall/root.crl");
  server->stall("/stall/inter.crl");
  server->stall("/stall/root.crl");
  sign(signer, intermediate);
  Outcome o = verify({"--cancel-crl"});
  EXPECT_EQ(o.out["valid"], "1");
  EXPECT_EQ(server->totalRequests(), 1) << "no further list is fetched after Cancel";
  std::vector<std::string> m = o.messages();
  EXPECT_THAT(m, ::testing::Contains("Download cancelled"));
  EXPECT_THAT(o.verifierMessages(), ElementsAre("Detached signature verified"));

  // A chain whose signature is bad is still refused however the lists end.
  std::string changed = kData;
  changed[0] = 'x';
  sign(signer, intermediate, changed);
  o = verify({"--cancel-crl"});
  EXPECT_EQ(o.out["valid"], "0");
}

// ---- The committed demo deployment --------------------------------------------

TEST_F(SignatureFlowTest, DemoSignerSignedWithTheToolVerifiesAgainstTheDemoLists) {
  // The demo certificates name the demo server on port 8443, which is free
  // in the private network.
  startServer(8443);
  const std::string pki = std::string(VANTOR_SOURCE_DIR) + "/demo-pki/";
  server->serve("/vantor/crl/DEMO-KEYS-intermediate.crl", testpki::readFile(pki + "DEMO-KEYS-intermediate.crl"));
  server->serve("/vantor/crl/DEMO-KEYS-root.crl", testpki::readFile(pki + "DEMO-KEYS-root.crl"));
  const std::string installer = mac->tmp() + "/installer";
  const std::string command = std::string(VANTOR_SOURCE_DIR) + "/tools/sign-installer '" + installer +
                              "' '" + installer + ".p7' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

  Outcome o = verify();
  EXPECT_EQ(o.out["valid"], "1") << o.run.describe();
  EXPECT_EQ(o.out["crlFiles"], "2");
  EXPECT_EQ(server->requests("/vantor/crl/DEMO-KEYS-intermediate.crl"), 1);
  EXPECT_EQ(server->requests("/vantor/crl/DEMO-KEYS-root.crl"), 1);
  EXPECT_THAT(o.verifierMessages(), ElementsAre("Begin cert chain validation", "Cert chain validation succeeded",
                                                "Detached signature verified"));
}

}  // namespace
