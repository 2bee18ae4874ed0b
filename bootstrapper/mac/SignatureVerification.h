// SignatureVerification decides whether a downloaded file (the runtime
// installer) may be run. It checks a detached DER PKCS#7 signature held in a
// file of its own against the data file: who signed (four subject attributes
// and a marker object identifier in the extended key usage of the first
// signer), the signature over the data and every signer's chain up to the one
// root held inside the program (VantorRootCert), and then every certificate
// of the verified chain against the revocation lists that the certificates
// name, fetched through the shared Downloader. The answer is one
// "SignatureVerifyDone" notification (object: the verifier; user info
// "SignatureKeyIsValid", a bool), posted when idle.
//
// A verification runs in two passes over the same object: pass 1 reads and
// pre-checks the signature, verifies it and its chain, collects the CRL
// addresses and starts their download (or runs pass 2 at once when there is
// none); pass 2 runs when "CrlDownloadDone" arrives, reads and pre-checks the
// signature again and checks the chain against the downloaded lists. Only a
// certificate that OpenSSL reports as revoked rejects the signature in pass 2;
// every other problem of that stage is tolerated.
//
// The verified chain and the last verification error live in process-wide
// state (certChain, callbackErrorNumber, callbackError) written by
// verifyCallback, so one verification runs per process, on the main thread.
// Every step is written to the installation log (install::logSig*,
// install::logCert*) and traced through DebugTrace.
#pragma once

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <optional>
#include <string>

#include "OpenSslPtr.h"
#include "platform/notification.h"

class Downloader;

// The expected signer and marker; the signature kind passed to the log.
inline constexpr const char* kSignatureKind = "Detached";
inline constexpr const char* kExpectedCommonName = "Brenmoor Vantor";
inline constexpr const char* kExpectedCountryName = "US";
inline constexpr const char* kExpectedOrganizationName = "Brenmoor Systems Incorporated";
inline constexpr const char* kExpectedOrganizationalUnitName = "Brenmoor Trust Services";
inline constexpr const char* kSignerMarkerOid = "1.2.840.987654.1.1.12";

class SignatureVerification {
 public:
  // Registers OpenSSL's ciphers, digests and error texts (every creation),
  // and observes "CrlDownloadDone" from any sender until destruction.
  // errorString is empty, no downloader is set.
  SignatureVerification();
  // Stops observing. Must not be destroyed from inside its own
  // "CrlDownloadDone" handling; the result notification may still be queued
  // (it carries only the address of the verifier as its sender).
  ~SignatureVerification();
  SignatureVerification(const SignatureVerification&) = delete;
  SignatureVerification& operator=(const SignatureVerification&) = delete;

  // The Downloader used for the revocation lists. Not owned: the downloader
  // belongs to the main interface and outlives the verifier. May be null
  // when the caller knows the chain names no CRL address.
  void setDownloader(Downloader* downloader) { downloader_ = downloader; }
  Downloader* downloader() const { return downloader_; }

  // Runs one pass (pass 1 on the first call, pass 2 once the CRL stage has
  // been entered). The result arrives later as "SignatureVerifyDone"; exactly
  // one is sent per verification. Paths are UTF-8 file system paths.
  void verifyDataAtPath(const std::string& data, const std::string& signature);

  // The first non-empty failure text recorded in the verifier's life, or "".
  const std::string& errorString() const { return errorString_; }

  // ---- The steps of the passes (public: they are the class's operations) --

  // Reads signaturePath as DER PKCS#7 and checks the first signer's names and
  // marker. The signature, owned by the caller, or null with the reason
  // recorded through setErrorString.
  ossl::Pkcs7Ptr readPkcs7();
  // A copy of the first signer's certificate, looked up only among the
  // certificates the signature carries; null when there is none.
  ossl::X509Ptr getSignerCertificate(PKCS7* p7);
  // True when CN, C, O and OU (in this order) each match exactly.
  bool verifySignerNames(X509* cert);
  // True when the first entry of `nid` in `name` converts to UTF-8 text equal
  // to `expected` (case-sensitive, whole string). False when there is no
  // such entry or its value cannot be converted.
  bool verifySignerName(X509_NAME* name, const std::string& expected, int nid);
  // True when `expected` is given and occurs (case-sensitive) in the printed
  // form of the certificate's first extension with `nid`.
  bool containsX509v3Data(X509* cert, const std::optional<std::string>& expected, int nid);
  // The certificate's first extension with `nid` as OpenSSL prints it
  // (X509V3_EXT_print, flags 4, indent 0), or none when there is no such
  // extension or OpenSSL cannot print it.
  static std::optional<std::string> extractX509v3Data(X509* cert, int nid);
  // A trust store with the held root as its only anchor, verifyCallback,
  // X509_V_FLAG_IGNORE_CRITICAL and purpose X509_PURPOSE_ANY. Owned by the
  // caller; null when no store can be made. When the anchor cannot be had or
  // added, the store is returned without flags or purpose.
  ossl::X509StorePtr makeStoreForPkcs7();
  // A new list holding the parsed held root (empty when it does not parse);
  // owned by the caller, with its entries. Null only when no list can be made.
  ossl::X509StackPtr getTrustedCerts();
  // The held root parsed anew, or null.
  ossl::X509Ptr getBrenmoorRoot();
  // PKCS7_verify (flags 0) over dataPath with the store of makeStoreForPkcs7.
  // True when every signer's signature and chain verify.
  bool verifyDetachedSignature(PKCS7* p7);
  // Enqueues "SignatureVerifyDone" when idle.
  void sendNotificationOfResult(bool valid);
  // Keeps `text` unless a non-empty text is already recorded.
  void setErrorString(const std::string& text);

  void setDataPath(const std::string& path) { dataPath_ = path; }
  const std::string& dataPath() const { return dataPath_; }
  void setSignaturePath(const std::string& path) { signaturePath_ = path; }
  const std::string& signaturePath() const { return signaturePath_; }
  // The Downloader's live list of the CRL files (shared, not copied); null
  // until the CRL download delivered at least one file.
  void setCrlPaths(platform::SharedStringList paths) { crlPaths_ = std::move(paths); }
  const platform::SharedStringList& crlPaths() const { return crlPaths_; }
  bool startedFetchingCrls() const { return startedFetchingCrls_; }

  // ---- Revocation stage ---------------------------------------------------

  // Collects the addresses of the CRL distribution points of every
  // certificate of certChain (crlAddressesFromPrintedPoints) and starts their
  // download under "CrlDownloadDone" with failures ignored; with no address,
  // runs pass 2 at once. Always true.
  bool startFetchingCrlsOnSignature();
  // Observer of "CrlDownloadDone": reads "DownloaderKeySuccess" and
  // "DownloaderKeyFiles" and calls handleDownloaderDone.
  void notifyDownloaderDone(const platform::Notification& notification);
  // Keeps the file list when the download succeeded with at least one file,
  // then runs pass 2.
  void handleDownloaderDone(bool success, const platform::SharedStringList& files);
  // Verifies every certificate of certChain (signer first) with CRL checking
  // on. False only when one is revoked (its text recorded); true when there
  // are no CRL files, nothing is revoked or no check was possible. Afterwards
  // certChain is a new empty list, unless there were no CRL files.
  bool checkCertsAgainstCrls();
  // The CRL at `path`, DER or else PEM, owned by the caller; null when the
  // file cannot be opened or parsed. An encrypted PEM block is refused
  // without asking for a password.
  ossl::X509CrlPtr readCrlFromPath(const std::string& path);
  // Verifies `cert` against `store` with `chain` as untrusted certificates.
  // True exactly when the verification fails with X509_V_ERR_CERT_REVOKED;
  // every other failure is traced and counts as not revoked. Borrows all
  // three.
  bool hasCertificateBeenRevoked(X509* cert, X509_STORE* store, STACK_OF(X509) * chain);

 private:
  std::string errorString_;
  bool startedFetchingCrls_ = false;
  std::string dataPath_;
  std::string signaturePath_;
  platform::SharedStringList crlPaths_;
  Downloader* downloader_ = nullptr;
};

// The verification callback of every store made by makeStoreForPkcs7: pushes
// a copy of each certificate reported with ok != 0 onto certChain, records
// the error code and text of each failure, and returns `ok` unchanged.
int verifyCallback(int ok, X509_STORE_CTX* ctx);

// Read access to the unit's process-wide state, for diagnostics and tests.
// The chain is owned by the unit; the pointer is valid until the next
// revocation check replaces the list.
const STACK_OF(X509) * signatureCertChain();
int signatureCallbackErrorNumber();
const std::optional<std::string>& signatureCallbackError();
