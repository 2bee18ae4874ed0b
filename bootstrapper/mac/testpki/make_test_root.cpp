// vantor-make-test-root: writes a self-signed root CA made by the test PKI,
// for a test build of the verifier that holds another root than the
// deployer's. Used at build time.
//
//   vantor-make-test-root expired CERT.der CERT.pem KEY.pem
//
// "expired": valid from two years ago until one year ago.
#include <cstdio>
#include <cstring>
#include <exception>

#include "TestPki.h"

int main(int argc, char** argv) {
  if (argc != 5 || std::strcmp(argv[1], "expired") != 0) {
    std::fprintf(stderr, "usage: vantor-make-test-root expired CERT.der CERT.pem KEY.pem\n");
    return 2;
  }
  try {
    testpki::CertSpec spec;
    spec.subject = {{"C", "US"}, {"O", "Vantor tests"}, {"CN", "Expired Vantor Test Root"}};
    spec.ca = true;
    spec.notBeforeOffset = -2L * 365 * 24 * 3600;
    spec.notAfterOffset = -365L * 24 * 3600;
    testpki::Credential root = testpki::selfSigned(spec);
    testpki::writeFile(argv[2], root.der());
    testpki::writeFile(argv[3], root.pem());
    testpki::writeFile(argv[4], root.keyPem());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vantor-make-test-root: %s\n", e.what());
    return 1;
  }
  return 0;
}
