// The held root certificate: the deployer's self-signed CA certificate in
// DER form, the verifier's only trust anchor. The bytes are generated at
// build time from the file named by the cache variable VANTOR_ROOT_CERT_DER
// (the demo root by default), so its length follows from that file.
#pragma once

#include <cstddef>

extern const unsigned char VantorRootCert[];
extern const std::size_t VantorRootCertLength;
