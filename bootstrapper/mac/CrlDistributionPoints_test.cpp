// The parser of printed CRL distribution points: over what OpenSSL really
// prints for certificates of the test PKI, and over hand-written texts for
// the cases a certificate cannot produce on its own.
#include "CrlDistributionPoints.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/objects.h>

#include <string>
#include <vector>

#include "SignatureVerification.h"
#include "TestPki.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

std::string printedPoints(const testpki::CertSpec& spec) {
  const testpki::Credential cert = testpki::issue(spec, testpki::demoRoot());
  auto text = SignatureVerification::extractX509v3Data(cert.cert.get(), NID_crl_distribution_points);
  return text.value_or("");
}

TEST(CrlDistributionPoints, AddressesOfRealCertificatesOfAChain) {
  testpki::CertSpec full = testpki::signerSpec();
  full.crlDistributionPoints = {
      {{"https://a.test/one.crl", "ldap://a.test/cn=list"}, {{{"CN", "dir name"}}}, {}, {}},
      {{}, {}, {"http://issuer.test/two.crl"}, {{{"O", "issuer"}}}}};
  testpki::CertSpec dirOnly = testpki::intermediateSpec("Dir Only CA");
  dirOnly.crlDistributionPoints = {{{}, {{{"CN", "no address"}}}, {}, {}}};
  // The same address in two certificates of the chain is fetched once.
  testpki::CertSpec again = testpki::intermediateSpec("Again CA", "https://a.test/one.crl");

  const std::vector<std::string> printed{printedPoints(full), printedPoints(dirOnly),
                                         printedPoints(again), ""};
  EXPECT_THAT(crlAddressesFromPrintedPoints(printed),
              UnorderedElementsAre("https://a.test/one.crl", "ldap://a.test/cn=list",
                                   "http://issuer.test/two.crl"));
  EXPECT_THAT(crlAddressesFromPrintedPoints({printedPoints(dirOnly)}), IsEmpty());
}

TEST(CrlDistributionPoints, LinesOfHandWrittenTexts) {
  struct Case {
    const char* what;
    std::vector<std::string> printed;
    std::vector<std::string> addresses;
  };
  const Case cases[] = {
      {"nothing", {}, {}},
      {"empty texts only", {"", ""}, {}},
      {"no line break at the end", {"Full Name:\n  URI:http://x.test/a"}, {"http://x.test/a"}},
      {"an empty address still counts", {"  URI:"}, {""}},
      {"the rest of the line verbatim", {"URI:http://x.test/a b \t"}, {"http://x.test/a b \t"}},
      {"only blanks are skipped before URI:", {"\tURI:http://x.test/t", "uri:http://x.test/l"}, {}},
      {"URI: must begin the line", {"  Full Name: URI:http://x.test/a"}, {}},
      {"equal lines collapse across texts", {"  URI:http://x.test/a", "  URI:http://x.test/a\n"},
       {"http://x.test/a"}},
      {"lines that differ in indent are two", {"URI:http://x.test/a\n    URI:http://x.test/a"},
       {"http://x.test/a", "http://x.test/a"}},
      // Byte order of the lines: the deeper indent sorts first.
      {"order of the lines' text", {"URI:http://x.test/a\n  URI:http://x.test/b"},
       {"http://x.test/b", "http://x.test/a"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(crlAddressesFromPrintedPoints(c.printed), c.addresses) << c.what;
}

}  // namespace
