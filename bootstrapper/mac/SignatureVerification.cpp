#include "SignatureVerification.h"

#include <openssl/buffer.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <fcntl.h>

#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "CrlDistributionPoints.h"
#include "DebugTrace.h"
#include "Downloader.h"
#include "InstallLogMsgs.h"
#include "VantorRootCert.h"

namespace {

constexpr const char* kCrlDownloadDone = "CrlDownloadDone";
constexpr const char* kSignatureVerifyDone = "SignatureVerifyDone";
constexpr const char* kSignatureKeyIsValid = "SignatureKeyIsValid";

// X509V3_EXT_print flags: 4 lies outside X509V3_EXT_UNKNOWN_MASK, so it asks
// for none of OpenSSL's treatments of undecodable extensions; such an
// extension prints nothing and the print fails.
constexpr unsigned long kExtPrintFlags = 4;
// Added to the store of the revocation checks: CRL checking of the target,
// unhandled critical extensions tolerated as in the signature check.
constexpr unsigned long kCrlCheckFlags = X509_V_FLAG_CRL_CHECK | X509_V_FLAG_IGNORE_CRITICAL;

// ---- The unit's process-wide state, written by verifyCallback -------------
//
// certChain: copies of the certificates OpenSSL reported as verified, trust
// anchor first. Created empty at program start; the revocation check
// replaces it by a new empty list after it has consumed it.
ossl::X509StackPtr certChain{sk_X509_new_null()};
// The X.509 error code and OpenSSL's text of the most recent failure.
int callbackErrorNumber = 0;
std::optional<std::string> callbackError;

// OpenSSL tears itself down from its own exit handler, which runs before the
// destructors of this unit's statics. The certificates still held must go
// back to OpenSSL while it is alive, so they are released from an OpenSSL
// exit handler registered with the first verifier.
void releaseCertChainAtExit() { certChain.reset(); }

void registerExitHandlerOnce() {
  static const bool registered = OPENSSL_atexit(releaseCertChainAtExit) == 1;
  (void)registered;
}

// Makes a fresh empty certChain; false (and traced) when no list can be had.
bool recreateCertChain() {
  certChain.reset(sk_X509_new_null());
  if (!certChain) {
    DebugTrace("Warning: Unable to recreate certChain");
    return false;
  }
  return true;
}

// A PEM password callback that refuses: a revocation list is never
// encrypted, and a downloaded file must not make the program ask the
// terminal for a pass phrase.
int refusePassword(char* /*buf*/, int /*size*/, int /*rwflag*/, void* /*userdata*/) { return -1; }

// The lines of `text` split at every "\n" (an empty text gives one empty
// piece, as splitting a string does).
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> pieces;
  std::string::size_type start = 0;
  for (;;) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// The size of each read from the data file under PKCS7_verify's 4 KiB
// pieces. 64 KiB measured fastest here: large enough that the system calls
// no longer count, small enough that the buffer and the digest's input stay
// in the processor's second-level cache (larger buffers were slower). The
// memory it takes does not grow with the file.
constexpr long kDataReadSize = 64 * 1024;

// A BIO chain freed as a whole: the read buffer and the file below it.
struct BioChainFree {
  void operator()(BIO* b) const { BIO_free_all(b); }
};
using BioChainPtr = std::unique_ptr<BIO, BioChainFree>;

// The data file behind a read buffer of kDataReadSize, with the kernel told
// that the file is read once from start to end (it then reads further ahead
// when the installer is not in the page cache). Takes the file; when no
// buffer can be had, the chain is the file alone.
BioChainPtr bufferedReader(ossl::BioPtr file) {
  FILE* stream = nullptr;
  if (BIO_get_fp(file.get(), &stream) == 1 && stream)
    (void)posix_fadvise(fileno(stream), 0, 0, POSIX_FADV_SEQUENTIAL);
  BioChainPtr buffer(BIO_new(BIO_f_buffer()));
  if (!buffer || BIO_set_read_buffer_size(buffer.get(), kDataReadSize) != 1)
    return BioChainPtr(file.release());
  BIO_push(buffer.get(), file.release());
  return buffer;
}

}  // namespace

int verifyCallback(int ok, X509_STORE_CTX* ctx) {
  if (ok != 0) {
    X509* current = X509_STORE_CTX_get_current_cert(ctx);
    if (current && certChain) {
      ossl::X509Ptr copy(X509_dup(current));
      if (copy && sk_X509_push(certChain.get(), copy.get()) > 0) copy.release();
    }
  } else {
    callbackErrorNumber = X509_STORE_CTX_get_error(ctx);
    callbackError = X509_verify_cert_error_string(callbackErrorNumber);
  }
  // OpenSSL's verdict stands: no error is accepted and no check relaxed here.
  return ok;
}

const STACK_OF(X509) * signatureCertChain() { return certChain.get(); }
int signatureCallbackErrorNumber() { return callbackErrorNumber; }
const std::optional<std::string>& signatureCallbackError() { return callbackError; }

SignatureVerification::SignatureVerification() {
  OPENSSL_add_all_algorithms_noconf();
  ERR_load_crypto_strings();
  registerExitHandlerOnce();
  platform::NotificationCenter::defaultCenter().addObserver(
      this, kCrlDownloadDone, nullptr,
      [this](const platform::Notification& n) { notifyDownloaderDone(n); });
}

SignatureVerification::~SignatureVerification() {
  platform::NotificationCenter::defaultCenter().removeObserver(this);
}

void SignatureVerification::setErrorString(const std::string& text) {
  // The first failure is the most specific one; the general texts recorded
  // by the callers afterwards must not replace it.
  if (!errorString_.empty()) return;
  errorString_ = text;
}

void SignatureVerification::sendNotificationOfResult(bool valid) {
  platform::Notification n;
  n.name = kSignatureVerifyDone;
  n.object = this;
  n.userInfo[kSignatureKeyIsValid] = valid;
  platform::NotificationQueue::defaultQueue().enqueueNotification(std::move(n),
                                                                  platform::PostingStyle::WhenIdle);
}

void SignatureVerification::verifyDataAtPath(const std::string& data, const std::string& signature) {
  setDataPath(data);
  setSignaturePath(signature);

  ossl::Pkcs7Ptr p7 = readPkcs7();
  if (!p7) {
    install::logSigInvalid(kSignatureKind);
    setErrorString("Failed to read pkcs7 signature");
    sendNotificationOfResult(false);
    return;
  }

  if (startedFetchingCrls_) {
    if (checkCertsAgainstCrls()) {
      install::logSigValid(kSignatureKind);
      sendNotificationOfResult(true);
    } else {
      install::logCertRevocationFound();
      setErrorString("At least one of the certificates in the signature has been revoked");
      sendNotificationOfResult(false);
    }
    return;
  }

  if (!verifyDetachedSignature(p7.get())) {
    install::logSigInvalid(kSignatureKind);
    setErrorString("The signature was rejected");
    sendNotificationOfResult(false);
    return;
  }
  // The result comes from pass 2, after the revocation lists (or at once,
  // from inside this call, when the chain names none).
  startedFetchingCrls_ = true;
  startFetchingCrlsOnSignature();
}

ossl::Pkcs7Ptr SignatureVerification::readPkcs7() {
  ossl::BioPtr file(BIO_new_file(signaturePath_.c_str(), "rb"));
  if (!file) {
    setErrorString("Unable to read signature " + signaturePath_);
    return nullptr;
  }
  // DER only: a PEM or S/MIME signature is not what the server publishes.
  ossl::Pkcs7Ptr p7(d2i_PKCS7_bio(file.get(), nullptr));
  if (!p7) {
    setErrorString("Error reading PKCS7 code signature");
    return nullptr;
  }
  ossl::X509Ptr signer = getSignerCertificate(p7.get());
  if (!signer) {
    setErrorString("Unable to get signing certificate from PKCS7 signature");
    return nullptr;
  }
  if (!verifySignerNames(signer.get())) {
    setErrorString("The signing certificate subject name did not match");
    return nullptr;
  }
  if (!containsX509v3Data(signer.get(), std::string(kSignerMarkerOid), NID_ext_key_usage)) {
    setErrorString("The signing certificate did not contain the expected object ID");
    return nullptr;
  }
  setErrorString("");
  return p7;
}

ossl::X509Ptr SignatureVerification::getSignerCertificate(PKCS7* p7) {
  // Only the certificates carried in the signature are searched: no extra
  // certificates, flags 0. The list borrows its entries.
  ossl::X509StackRefPtr signers(PKCS7_get0_signers(p7, nullptr, 0));
  if (!signers || sk_X509_num(signers.get()) < 1) return nullptr;
  X509* first = sk_X509_value(signers.get(), 0);
  if (!first) return nullptr;
  return ossl::X509Ptr(X509_dup(first));
}

bool SignatureVerification::verifySignerNames(X509* cert) {
  X509_NAME* subject = X509_get_subject_name(cert);
  if (!subject) return false;
  return verifySignerName(subject, kExpectedCommonName, NID_commonName) &&
         verifySignerName(subject, kExpectedCountryName, NID_countryName) &&
         verifySignerName(subject, kExpectedOrganizationName, NID_organizationName) &&
         verifySignerName(subject, kExpectedOrganizationalUnitName, NID_organizationalUnitName);
}

bool SignatureVerification::verifySignerName(X509_NAME* name, const std::string& expected, int nid) {
  // Only the first entry of the type counts; later ones are ignored.
  int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0) return false;
  X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, index);
  ASN1_STRING* data = entry ? X509_NAME_ENTRY_get_data(entry) : nullptr;
  if (!data) return false;
  unsigned char* utf8 = nullptr;
  int length = ASN1_STRING_to_UTF8(&utf8, data);
  // A value that cannot be converted is no match.
  if (length < 0 || !utf8) return false;
  // The whole converted value, embedded zero bytes included, must be equal.
  std::string value(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
  OPENSSL_free(utf8);
  return expected == value;
}

std::optional<std::string> SignatureVerification::extractX509v3Data(X509* cert, int nid) {
  int index = X509_get_ext_by_NID(cert, nid, -1);
  if (index < 0) return std::nullopt;
  X509_EXTENSION* ext = X509_get_ext(cert, index);
  if (!ext) return std::nullopt;
  ossl::BioPtr mem(BIO_new(BIO_s_mem()));
  if (!mem) return std::nullopt;
  if (X509V3_EXT_print(mem.get(), ext, kExtPrintFlags, 0) != 1) return std::nullopt;
  BUF_MEM* buffer = nullptr;
  BIO_get_mem_ptr(mem.get(), &buffer);
  if (!buffer) return std::nullopt;
  return std::string(buffer->data ? buffer->data : "", buffer->length);
}

bool SignatureVerification::containsX509v3Data(X509* cert, const std::optional<std::string>& expected,
                                               int nid) {
  if (!expected) return false;
  std::optional<std::string> text = extractX509v3Data(cert, nid);
  return text && text->find(*expected) != std::string::npos;
}

ossl::X509Ptr SignatureVerification::getBrenmoorRoot() {
  ossl::BioPtr mem(BIO_new_mem_buf(VantorRootCert, static_cast<int>(VantorRootCertLength)));
  if (!mem) return nullptr;
  return ossl::X509Ptr(d2i_X509_bio(mem.get(), nullptr));
}

ossl::X509StackPtr SignatureVerification::getTrustedCerts() {
  ossl::X509StackPtr anchors(sk_X509_new_null());
  if (!anchors) return nullptr;
  if (ossl::X509Ptr root = getBrenmoorRoot()) {
    if (sk_X509_push(anchors.get(), root.get()) > 0) root.release();
  }
  return anchors;
}

ossl::X509StorePtr SignatureVerification::makeStoreForPkcs7() {
  ossl::X509StorePtr store(X509_STORE_new());
  if (!store) {
    setErrorString("Error creating X509_STORE object");
    return nullptr;
  }
  X509_STORE_set_verify_cb(store.get(), verifyCallback);

  // The held root is the only anchor: no system store, no default paths.
  ossl::X509StackPtr anchors = getTrustedCerts();
  if (!anchors) {
    setErrorString("Unable to find any trused certificates");
    return store;
  }
  bool allAdded = true;
  while (sk_X509_num(anchors.get()) > 0) {
    ossl::X509Ptr cert(sk_X509_pop(anchors.get()));
    // The store takes its own reference.
    if (X509_STORE_add_cert(store.get(), cert.get()) != 1) allAdded = false;
  }
  if (!allAdded) {
    setErrorString("Unable to add trused certificate to store");
    return store;
  }
  // Critical extensions OpenSSL does not handle are no reason to refuse,
  // and the signer needs no particular purpose: the names and the marker
  // say who may sign.
  X509_STORE_set_flags(store.get(), X509_V_FLAG_IGNORE_CRITICAL);
  X509_STORE_set_purpose(store.get(), X509_PURPOSE_ANY);
  setErrorString("");
  return store;
}

bool SignatureVerification::verifyDetachedSignature(PKCS7* p7) {
  ossl::X509StorePtr store = makeStoreForPkcs7();
  if (!store) {
    setErrorString("Failed to create store pkcs7 signature");
    return false;
  }
  ossl::BioPtr data(BIO_new_file(dataPath_.c_str(), "rb"));
  if (!data) {
    setErrorString("Unable to read data " + dataPath_);
    return false;
  }
  // PKCS7_verify pulls the content through its digest in pieces of 4 KiB;
  // straight from the file that is one read system call per piece, which
  // costs about a tenth of the time of a large installer. A read buffer
  // below the digest turns them into a few large reads. The bytes and the
  // checks are the same, so the answer is too: without the buffer (when it
  // cannot be had) the verification only runs slower.
  BioChainPtr content = bufferedReader(std::move(data));
  // Errors left over from earlier steps would otherwise be taken for this
  // verification's reason below.
  ERR_clear_error();
  // Flags 0: every signer's chain and every signer's digest and signature
  // over the data bytes are verified; nothing is switched off.
  if (PKCS7_verify(p7, nullptr, store.get(), content.get(), nullptr, 0) == 1) {
    setErrorString("");
    return true;
  }
  std::string reason;
  if (callbackError) {
    reason = *callbackError;
  } else if (unsigned long err = ERR_peek_error(); err != 0) {
    // The chain verified but the data did not (a digest or signature
    // mismatch): no certificate error was reported, so OpenSSL's first
    // reason, the cause rather than its consequences, says what went wrong.
    if (const char* text = ERR_reason_error_string(err)) reason = text;
  }
  setErrorString("Error verifying code signature. " + reason);
  return false;
}

bool SignatureVerification::startFetchingCrlsOnSignature() {
  std::vector<std::string> printed;
  for (int i = 0; certChain && i < sk_X509_num(certChain.get()); ++i) {
    std::optional<std::string> text =
        extractX509v3Data(sk_X509_value(certChain.get(), i), NID_crl_distribution_points);
    if (text && !text->empty()) printed.push_back(std::move(*text));
  }
  auto addresses = std::make_shared<std::vector<std::string>>(crlAddressesFromPrintedPoints(printed));

  setErrorString("");
  if (!addresses->empty() && downloader_) {
    downloader_->setUrlStrings(std::move(addresses));
    downloader_->setIgnoreFailures(true);
    downloader_->startDownload(kCrlDownloadDone);
  } else {
    if (!addresses->empty()) DebugTrace("Warning: No downloader for the certificate revocation files");
    verifyDataAtPath(dataPath_, signaturePath_);
  }
  return true;
}

void SignatureVerification::notifyDownloaderDone(const platform::Notification& notification) {
  const bool* success = notification.get<bool>(DownloaderKeySuccess);
  const platform::SharedStringList* files =
      notification.get<platform::SharedStringList>(DownloaderKeyFiles);
  handleDownloaderDone(success && *success, files ? *files : platform::SharedStringList{});
}

void SignatureVerification::handleDownloaderDone(bool success, const platform::SharedStringList& files) {
  if (success && files && !files->empty()) {
    setCrlPaths(files);
  } else {
    DebugTrace("Warning: Unable to fetch certificate revocation files");
  }
  verifyDataAtPath(dataPath_, signaturePath_);
}

ossl::X509CrlPtr SignatureVerification::readCrlFromPath(const std::string& path) {
  ossl::BioPtr file(BIO_new_file(path.c_str(), "rb"));
  if (!file) {
    DebugTrace("Warning: Unable to create BIO for CRL at %s", path.c_str());
    return nullptr;
  }
  ossl::X509CrlPtr crl(d2i_X509_CRL_bio(file.get(), nullptr));
  if (!crl) {
    BIO_reset(file.get());
    crl.reset(PEM_read_bio_X509_CRL(file.get(), nullptr, refusePassword, nullptr));
  }
  if (!crl) DebugTrace("Warning: Unable to parse CRL at %s", path.c_str());
  return crl;
}

bool SignatureVerification::hasCertificateBeenRevoked(X509* cert, X509_STORE* store,
                                                      STACK_OF(X509) * chain) {
  ossl::X509StoreCtxPtr ctx(X509_STORE_CTX_new());
  if (!ctx) {
    DebugTrace("Warning: Unable to create X509_STORE_CTX object for CRL checks");
    return false;
  }
  if (X509_STORE_CTX_init(ctx.get(), store, cert, chain) != 1) {
    DebugTrace("Warning: Unable to initialize CRL verification context");
    return false;
  }
  if (X509_verify_cert(ctx.get()) == 1) return false;
  // verifyCallback lets OpenSSL stop at the first error, so that one error
  // decides; only a revocation rejects.
  if (callbackErrorNumber == X509_V_ERR_CERT_REVOKED) return true;
  DebugTrace("Warning: Ignoring failed CRL check: %s", callbackError ? callbackError->c_str() : "");
  return false;
}

bool SignatureVerification::checkCertsAgainstCrls() {
  if (!crlPaths_ || crlPaths_->empty()) return true;

  ossl::X509StorePtr store = makeStoreForPkcs7();
  bool usable = false;
  if (!store) {
    DebugTrace("Warning: Unable to get store for CRL");
  } else {
    // Adds to the flags makeStoreForPkcs7 set.
    X509_STORE_set_flags(store.get(), kCrlCheckFlags);
    usable = true;
  }
  if (usable) {
    for (const auto& path : *crlPaths_) {
      ossl::X509CrlPtr crl = readCrlFromPath(path);
      if (!crl) continue;
      // The store keeps its own reference; ours goes with `crl`.
      if (X509_STORE_add_crl(store.get(), crl.get()) != 1) {
        DebugTrace("Warning: Error adding CRL to store");
        usable = false;
        break;
      }
    }
  }

  // The chain of pass 1 is consumed; verifyCallback fills a new list during
  // the checks, which is discarded afterwards.
  ossl::X509StackPtr chain = std::move(certChain);
  bool revoked = false;
  if (!recreateCertChain()) {
    install::logCertChainBegin();
    install::logCertChainSuccess();
  } else {
    install::logCertChainBegin();
    if (!usable) {
      install::logCertChainSuccess();
    } else {
      // Signer first, anchor last; the certificates not yet taken serve as
      // the untrusted certificates for building each path. Without
      // X509_V_FLAG_CRL_CHECK_ALL a check covers its target only, hence
      // one check per certificate.
      while (chain && sk_X509_num(chain.get()) > 0) {
        ossl::X509Ptr cert(sk_X509_pop(chain.get()));
        if (hasCertificateBeenRevoked(cert.get(), store.get(), chain.get())) {
          install::logCertRevocationFound();
          setErrorString(callbackError.value_or(""));
          install::logCertChainFailure();
          revoked = true;
          break;
        }
      }
      if (!revoked) install::logCertChainSuccess();
    }
  }

  chain.reset();
  recreateCertChain();
  return !revoked;
}

std::vector<std::string> crlAddressesFromPrintedPoints(const std::vector<std::string>& printed) {
  // Equal lines collapse; the order of the set carries no meaning.
  std::set<std::string> lines;
  for (const auto& text : printed) {
    if (text.empty()) continue;
    for (auto& piece : splitLines(text)) lines.insert(std::move(piece));
  }
  // Full names and CRL issuers alike print their URIs as "URI:<address>"
  // on lines of their own; every other line names no address.
  std::vector<std::string> addresses;
  addresses.reserve(10);
  for (const auto& line : lines) {
    auto first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    if (line.compare(first, 4, "URI:") == 0) addresses.push_back(line.substr(first + 4));
  }
  return addresses;
}
