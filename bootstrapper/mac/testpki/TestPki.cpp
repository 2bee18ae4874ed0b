#include "TestPki.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef TESTPKI_DEMO_ROOT_CERT
#error "TESTPKI_DEMO_ROOT_CERT must name the demo root's PEM certificate"
#endif
#ifndef TESTPKI_DEMO_ROOT_KEY
#error "TESTPKI_DEMO_ROOT_KEY must name the demo root's PEM key"
#endif

namespace testpki {
namespace {

[[noreturn]] void fail(const std::string& what) {
  std::string reason;
  if (unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    reason = std::string(": ") + buf;
  }
  ERR_clear_error();
  throw std::runtime_error("test PKI: " + what + reason);
}

template <typename T>
T* check(T* p, const std::string& what) {
  if (!p) fail(what);
  return p;
}

void check(int ok, const std::string& what) {
  if (ok != 1) fail(what);
}

std::string bioText(BIO* bio) {
  char* data = nullptr;
  long n = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(n));
}

ossl::BioPtr memBio() { return ossl::BioPtr(check(BIO_new(BIO_s_mem()), "BIO_new")); }

X509_NAME* makeName(const Name& entries) {
  X509_NAME* name = check(X509_NAME_new(), "X509_NAME_new");
  for (const auto& e : entries) {
    if (X509_NAME_add_entry_by_txt(name, e.field.c_str(), MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(e.value.c_str()), -1, -1,
                                   0) != 1) {
      X509_NAME_free(name);
      fail("name entry " + e.field + "=" + e.value);
    }
  }
  return name;
}

GENERAL_NAME* uriName(const std::string& uri) {
  GENERAL_NAME* gn = check(GENERAL_NAME_new(), "GENERAL_NAME_new");
  ASN1_IA5STRING* s = check(ASN1_IA5STRING_new(), "ASN1_IA5STRING_new");
  check(ASN1_STRING_set(s, uri.data(), static_cast<int>(uri.size())), "ASN1_STRING_set");
  GENERAL_NAME_set0_value(gn, GEN_URI, s);
  return gn;
}

GENERAL_NAME* dirName(const Name& entries) {
  GENERAL_NAME* gn = check(GENERAL_NAME_new(), "GENERAL_NAME_new");
  GENERAL_NAME_set0_value(gn, GEN_DIRNAME, makeName(entries));
  return gn;
}

GENERAL_NAMES* generalNames(const std::vector<std::string>& uris, const std::vector<Name>& dirs) {
  if (uris.empty() && dirs.empty()) return nullptr;
  GENERAL_NAMES* names = check(GENERAL_NAMES_new(), "GENERAL_NAMES_new");
  for (const auto& u : uris) sk_GENERAL_NAME_push(names, uriName(u));
  for (const auto& d : dirs) sk_GENERAL_NAME_push(names, dirName(d));
  return names;
}

void addDistributionPoints(X509* cert, const std::vector<DistributionPoint>& points) {
  if (points.empty()) return;
  CRL_DIST_POINTS* cdps = check(sk_DIST_POINT_new_null(), "sk_DIST_POINT_new_null");
  for (const auto& p : points) {
    DIST_POINT* dp = check(DIST_POINT_new(), "DIST_POINT_new");
    if (GENERAL_NAMES* full = generalNames(p.uris, p.directoryNames)) {
      dp->distpoint = check(DIST_POINT_NAME_new(), "DIST_POINT_NAME_new");
      dp->distpoint->type = 0;
      dp->distpoint->name.fullname = full;
    }
    dp->CRLissuer = generalNames(p.crlIssuerUris, p.crlIssuerDirectoryNames);
    sk_DIST_POINT_push(cdps, dp);
  }
  int ok = X509_add1_ext_i2d(cert, NID_crl_distribution_points, cdps, 0, X509V3_ADD_DEFAULT);
  CRL_DIST_POINTS_free(cdps);
  check(ok, "CRL distribution points");
}

void addExtendedKeyUsage(X509* cert, const std::vector<std::string>& purposes) {
  EXTENDED_KEY_USAGE* eku = check(sk_ASN1_OBJECT_new_null(), "sk_ASN1_OBJECT_new_null");
  for (const auto& p : purposes)
    sk_ASN1_OBJECT_push(eku, check(OBJ_txt2obj(p.c_str(), 0), "purpose " + p));
  int ok = X509_add1_ext_i2d(cert, NID_ext_key_usage, eku, 0, X509V3_ADD_DEFAULT);
  EXTENDED_KEY_USAGE_free(eku);
  check(ok, "extended key usage");
}

void addConfExtension(X509* cert, X509V3_CTX* ctx, int nid, const char* value) {
  X509_EXTENSION* ext = check(X509V3_EXT_conf_nid(nullptr, ctx, nid, value), value);
  int ok = X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
  check(ok, value);
}

void addUnknownCriticalExtension(X509* cert) {
  // An arc of the example enterprise number: OpenSSL has no handler for it.
  ASN1_OBJECT* oid = check(OBJ_txt2obj("1.3.6.1.4.1.32473.77.1", 1), "unknown oid");
  ASN1_OCTET_STRING* value = check(ASN1_OCTET_STRING_new(), "ASN1_OCTET_STRING_new");
  static const unsigned char derNull[] = {0x05, 0x00};
  check(ASN1_OCTET_STRING_set(value, derNull, sizeof derNull), "ASN1_OCTET_STRING_set");
  X509_EXTENSION* ext = X509_EXTENSION_create_by_OBJ(nullptr, oid, 1, value);
  ASN1_OBJECT_free(oid);
  ASN1_OCTET_STRING_free(value);
  check(ext, "unknown critical extension");
  int ok = X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
  check(ok, "unknown critical extension");
}

void setRandomSerial(X509* cert) {
  unsigned char bytes[8];
  check(RAND_bytes(bytes, sizeof bytes), "RAND_bytes");
  bytes[0] &= 0x3f;  // positive and within a long, so serial() can return it
  bytes[0] |= 0x01;
  BIGNUM* bn = check(BN_bin2bn(bytes, sizeof bytes, nullptr), "BN_bin2bn");
  ASN1_INTEGER* serial = BN_to_ASN1_INTEGER(bn, nullptr);
  BN_free(bn);
  check(serial, "BN_to_ASN1_INTEGER");
  int ok = X509_set_serialNumber(cert, serial);
  ASN1_INTEGER_free(serial);
  check(ok, "X509_set_serialNumber");
}

std::shared_ptr<X509> shareCert(X509* c) { return std::shared_ptr<X509>(c, X509_free); }
std::shared_ptr<EVP_PKEY> shareKey(EVP_PKEY* k) { return std::shared_ptr<EVP_PKEY>(k, EVP_PKEY_free); }

// Builds and signs a certificate; `issuer` null makes it self-signed.
Credential build(const CertSpec& spec, const Credential* issuer, std::shared_ptr<EVP_PKEY> key) {
  auto cert = shareCert(check(X509_new(), "X509_new"));
  X509* x = cert.get();
  check(X509_set_version(x, 2), "X509_set_version");
  setRandomSerial(x);
  {
    std::unique_ptr<X509_NAME, ossl::Deleter<X509_NAME, X509_NAME_free>> subject(makeName(spec.subject));
    check(X509_set_subject_name(x, subject.get()), "X509_set_subject_name");
    check(X509_set_issuer_name(x, issuer ? X509_get_subject_name(issuer->cert.get()) : subject.get()),
          "X509_set_issuer_name");
  }
  check(X509_gmtime_adj(X509_getm_notBefore(x), spec.notBeforeOffset), "notBefore");
  check(X509_gmtime_adj(X509_getm_notAfter(x), spec.notAfterOffset), "notAfter");
  check(X509_set_pubkey(x, key.get()), "X509_set_pubkey");

  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer ? issuer->cert.get() : x, x, nullptr, nullptr, 0);
  addConfExtension(x, &ctx, NID_basic_constraints, spec.ca ? "critical,CA:TRUE" : "critical,CA:FALSE");
  addConfExtension(x, &ctx, NID_key_usage,
                   spec.ca ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature");
  addConfExtension(x, &ctx, NID_subject_key_identifier, "hash");
  if (issuer) addConfExtension(x, &ctx, NID_authority_key_identifier, "keyid:always");
  if (spec.extendedKeyUsage) addExtendedKeyUsage(x, *spec.extendedKeyUsage);
  addDistributionPoints(x, spec.crlDistributionPoints);
  if (spec.unknownCriticalExtension) addUnknownCriticalExtension(x);

  EVP_PKEY* signingKey = issuer ? issuer->key.get() : key.get();
  if (X509_sign(x, signingKey, EVP_sha256()) <= 0) fail("X509_sign");
  return Credential{cert, std::move(key)};
}

std::shared_ptr<X509> readCertFile(const std::string& path) {
  ossl::BioPtr bio(check(BIO_new_file(path.c_str(), "rb"), "open " + path));
  return shareCert(check(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), "read " + path));
}

std::shared_ptr<EVP_PKEY> readKeyFile(const std::string& path) {
  ossl::BioPtr bio(check(BIO_new_file(path.c_str(), "rb"), "open " + path));
  return shareKey(check(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), "read " + path));
}

}  // namespace

Name expectedSignerName() {
  return {{"C", "US"},
          {"O", "Brenmoor Systems Incorporated"},
          {"OU", "Brenmoor Trust Services"},
          {"CN", "Brenmoor Vantor"}};
}

std::string Credential::pem() const {
  auto bio = memBio();
  check(PEM_write_bio_X509(bio.get(), cert.get()), "PEM_write_bio_X509");
  return bioText(bio.get());
}

std::string Credential::der() const {
  auto bio = memBio();
  check(i2d_X509_bio(bio.get(), cert.get()), "i2d_X509_bio");
  return bioText(bio.get());
}

std::string Credential::keyPem() const {
  auto bio = memBio();
  check(PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr),
        "PEM_write_bio_PrivateKey");
  return bioText(bio.get());
}

long Credential::serial() const { return ASN1_INTEGER_get(X509_get0_serialNumber(cert.get())); }

const Credential& demoRoot() {
  static const Credential root{readCertFile(TESTPKI_DEMO_ROOT_CERT), readKeyFile(TESTPKI_DEMO_ROOT_KEY)};
  return root;
}

Credential loadCredential(const std::string& certPemPath, const std::string& keyPemPath) {
  return Credential{readCertFile(certPemPath), readKeyFile(keyPemPath)};
}

std::shared_ptr<EVP_PKEY> newKey() {
  return shareKey(check(EVP_EC_gen("P-256"), "EVP_EC_gen"));
}

Credential issue(const CertSpec& spec, const Credential& issuer) { return build(spec, &issuer, newKey()); }

Credential issueWithKey(const CertSpec& spec, const Credential& issuer, std::shared_ptr<EVP_PKEY> key) {
  return build(spec, &issuer, std::move(key));
}

Credential selfSigned(const CertSpec& spec) { return build(spec, nullptr, newKey()); }

CertSpec intermediateSpec(const std::string& cn, const std::optional<std::string>& crlUri) {
  CertSpec spec;
  spec.subject = {{"C", "US"}, {"O", "Brenmoor Systems Incorporated"}, {"CN", cn}};
  spec.ca = true;
  if (crlUri) spec.crlDistributionPoints = {DistributionPoint{{*crlUri}, {}, {}, {}}};
  return spec;
}

CertSpec signerSpec(const std::optional<std::string>& crlUri) {
  CertSpec spec;
  spec.subject = expectedSignerName();
  spec.extendedKeyUsage = std::vector<std::string>{"codeSigning", "1.2.840.987654.1.1.12"};
  if (crlUri) spec.crlDistributionPoints = {DistributionPoint{{*crlUri}, {}, {}, {}}};
  return spec;
}

ossl::X509CrlPtr makeCrl(const Credential& issuer, const CrlSpec& spec) {
  ossl::X509CrlPtr crl(check(X509_CRL_new(), "X509_CRL_new"));
  check(X509_CRL_set_version(crl.get(), 1), "X509_CRL_set_version");
  check(X509_CRL_set_issuer_name(crl.get(), X509_get_subject_name(issuer.cert.get())), "CRL issuer");
  std::unique_ptr<ASN1_TIME, ossl::Deleter<ASN1_TIME, ASN1_TIME_free>> t(
      check(X509_gmtime_adj(nullptr, spec.lastUpdateOffset), "lastUpdate"));
  check(X509_CRL_set1_lastUpdate(crl.get(), t.get()), "X509_CRL_set1_lastUpdate");
  t.reset(check(X509_gmtime_adj(nullptr, spec.nextUpdateOffset), "nextUpdate"));
  check(X509_CRL_set1_nextUpdate(crl.get(), t.get()), "X509_CRL_set1_nextUpdate");
  for (const Credential* c : spec.revoked) {
    X509_REVOKED* r = check(X509_REVOKED_new(), "X509_REVOKED_new");
    check(X509_REVOKED_set_serialNumber(r, X509_get_serialNumber(c->cert.get())), "revoked serial");
    std::unique_ptr<ASN1_TIME, ossl::Deleter<ASN1_TIME, ASN1_TIME_free>> when(
        check(X509_gmtime_adj(nullptr, -60), "revocation date"));
    check(X509_REVOKED_set_revocationDate(r, when.get()), "revocation date");
    check(X509_CRL_add0_revoked(crl.get(), r), "X509_CRL_add0_revoked");
  }
  X509_CRL_sort(crl.get());
  EVP_PKEY* key = spec.signWith ? spec.signWith.get() : issuer.key.get();
  if (X509_CRL_sign(crl.get(), key, EVP_sha256()) <= 0) fail("X509_CRL_sign");
  return crl;
}

std::string crlDer(X509_CRL* crl) {
  auto bio = memBio();
  check(i2d_X509_CRL_bio(bio.get(), crl), "i2d_X509_CRL_bio");
  return bioText(bio.get());
}

std::string crlPem(X509_CRL* crl) {
  auto bio = memBio();
  check(PEM_write_bio_X509_CRL(bio.get(), crl), "PEM_write_bio_X509_CRL");
  return bioText(bio.get());
}

std::string signDetached(const Credential& signer, const std::vector<const Credential*>& extraCerts,
                         const std::string& data, bool pem) {
  ossl::X509StackRefPtr certs(check(sk_X509_new_null(), "sk_X509_new_null"));
  for (const Credential* c : extraCerts) sk_X509_push(certs.get(), c->cert.get());
  ossl::BioPtr in(check(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())), "BIO_new_mem_buf"));
  ossl::Pkcs7Ptr p7(check(PKCS7_sign(signer.cert.get(), signer.key.get(), certs.get(), in.get(),
                                     PKCS7_DETACHED | PKCS7_BINARY),
                          "PKCS7_sign"));
  auto out = memBio();
  if (pem)
    check(PEM_write_bio_PKCS7(out.get(), p7.get()), "PEM_write_bio_PKCS7");
  else
    check(i2d_PKCS7_bio(out.get(), p7.get()), "i2d_PKCS7_bio");
  return bioText(out.get());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantor-sigtest-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testpki
