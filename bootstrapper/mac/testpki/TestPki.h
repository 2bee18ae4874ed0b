// A test PKI built at run time with OpenSSL: certificates with chosen
// subjects, extended key usages, CRL distribution points, unknown critical
// extensions and validity periods; revocation lists; detached signatures.
// Intermediates are issued by the committed demo root (its key lives in
// demo-pki/), so that the verifier, which trusts only the held root, accepts
// what the tests mean it to accept. Test-only: never linked into a program
// that ships.
//
// Every call either succeeds or throws std::runtime_error with OpenSSL's
// reason: a test PKI that cannot be made is a broken test, not a case.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "OpenSslPtr.h"

namespace testpki {

// One attribute of a distinguished name, by its short name ("C", "O", "OU",
// "CN", ...). Entries keep the order given, repeats included.
struct NameEntry {
  std::string field;
  std::string value;
};
using Name = std::vector<NameEntry>;

// The subject the verifier expects: C, O, OU, CN.
Name expectedSignerName();

// One CRL distribution point: its full name (URIs and directory names, in
// that order) and its CRL issuer (URIs and directory names).
struct DistributionPoint {
  std::vector<std::string> uris;
  std::vector<Name> directoryNames;
  std::vector<std::string> crlIssuerUris;
  std::vector<Name> crlIssuerDirectoryNames;
};

struct CertSpec {
  Name subject;
  bool ca = false;
  // Purposes by OpenSSL short name ("codeSigning") or dotted number; none:
  // no extended key usage extension.
  std::optional<std::vector<std::string>> extendedKeyUsage;
  std::vector<DistributionPoint> crlDistributionPoints;
  // Adds a critical extension of an object identifier OpenSSL knows nothing
  // about.
  bool unknownCriticalExtension = false;
  // Validity relative to now, in seconds.
  long notBeforeOffset = -3600;
  long notAfterOffset = 3L * 365 * 24 * 3600;
};

// A certificate with its private key.
struct Credential {
  std::shared_ptr<X509> cert;
  std::shared_ptr<EVP_PKEY> key;

  std::string pem() const;
  std::string der() const;
  std::string keyPem() const;
  long serial() const;
};

// The committed demo root and its key (demo-pki/DEMO-KEYS-root-ca.*).
const Credential& demoRoot();

// A certificate and key read from PEM files.
Credential loadCredential(const std::string& certPemPath, const std::string& keyPemPath);

// A fresh key (EC P-256: fast to make, and any key type does for the chain).
std::shared_ptr<EVP_PKEY> newKey();

// A certificate for `spec` issued (and signed with SHA-256) by `issuer`, with
// a fresh key and a random serial.
Credential issue(const CertSpec& spec, const Credential& issuer);
// The same with a given key (e.g. to re-issue a certificate).
Credential issueWithKey(const CertSpec& spec, const Credential& issuer, std::shared_ptr<EVP_PKEY> key);

// A self-signed certificate (a root of its own).
Credential selfSigned(const CertSpec& spec);

// Common shapes: an intermediate CA under the demo root and a signer under
// it, each naming `crlUri` (when given) as its distribution point.
CertSpec intermediateSpec(const std::string& cn, const std::optional<std::string>& crlUri = {});
CertSpec signerSpec(const std::optional<std::string>& crlUri = {});

struct CrlSpec {
  CrlSpec() = default;
  CrlSpec(std::vector<const Credential*> revokedCerts, long lastUpdate = -3600,
          long nextUpdate = 30L * 24 * 3600, std::shared_ptr<EVP_PKEY> key = {})
      : revoked(std::move(revokedCerts)),
        lastUpdateOffset(lastUpdate),
        nextUpdateOffset(nextUpdate),
        signWith(std::move(key)) {}

  // Certificates listed as revoked (by serial).
  std::vector<const Credential*> revoked;
  // Validity relative to now, in seconds.
  long lastUpdateOffset = -3600;
  long nextUpdateOffset = 30L * 24 * 3600;
  // Sign with this key instead of the issuer's (a badly signed list).
  std::shared_ptr<EVP_PKEY> signWith;
};

// A CRL issued by `issuer`.
ossl::X509CrlPtr makeCrl(const Credential& issuer, const CrlSpec& spec);
std::string crlDer(X509_CRL* crl);
std::string crlPem(X509_CRL* crl);

// A detached PKCS#7 signature over `data` (PKCS7_sign with PKCS7_DETACHED
// and PKCS7_BINARY) by `signer`, carrying `extraCerts` (the intermediates).
// DER unless `pem`.
std::string signDetached(const Credential& signer, const std::vector<const Credential*>& extraCerts,
                         const std::string& data, bool pem = false);

// Writes `bytes` to `path` (replacing it); throws when it cannot.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// A fresh private folder for a test's files, removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace testpki
