// The streaming URL download service: fetches one URL into a file and tells a
// delegate about every step, on the main thread's event loop.
//
// A transfer starts at once when it is made (UrlDownloadService::
// startDownload) and reports back, never from inside the call that made it,
// in this order:
//   willSendRequest        for the first request (no redirect response) and
//                          for every redirect hop; the delegate approves the
//                          hop by returning a request, each approved hop is
//                          sent as a new request; more hops than the service's
//                          limit fail the transfer with
//                          UrlErrorHTTPTooManyRedirects
//   didReceiveResponse     the final response: expected length (-1 when the
//                          server gives none), MIME type, HTTP status
//   shouldDecodeSourceDataOfMIMEType
//                          only for gzip-typed bodies; true stores the data
//                          inflated (zlib), false stores it as delivered
//   decideDestinationWithSuggestedFilename
//                          the delegate calls setDestination on the transfer;
//                          without a destination the transfer fails with
//                          UrlErrorCannotCreateFile
//   didCreateDestination   the path really created (it differs from the one
//                          asked for when that name was taken)
//   didReceiveDataOfLength the bytes received from the server, each time
//   downloadDidFinish      or didFailWithError: exactly one of them ends the
//                          transfer; nothing is called afterwards
// An HTTP response without a single header field, which is also how a
// header too large to take arrives (a field over 100 KiB, more than 100
// fields), fails the transfer with UrlErrorBadServerResponse before anything
// else is called for it (no response, no destination, no redirect).
// An HTTP status of 400 or more fails the transfer after didReceiveResponse
// (once the server has ended the reply; its body is dropped), before a
// destination is asked for. cancel() (or destroying the transfer)
// stops it with no further callbacks, also when called from a callback.
//
// Requests go out with "Accept-Encoding: identity", so a server never hides
// the length behind a transfer encoding the service undoes by itself; a
// gzip-typed body is decoded only when the delegate says so.
//
// Files are created exclusively (O_CREAT|O_EXCL|O_NOFOLLOW, mode 0600), so a
// name planted as a symbolic link is never followed. When the destination's
// name exists and overwriting is refused, "-1", "-2", ... is put before the
// extension ("installer.p7" becomes "installer-1.p7"). A transfer that fails
// or is cancelled after its file was created leaves the partial file where
// it is: whoever asked for the destination removes it (the downloader keeps
// every path it was told about for that).
//
// HTTPS trusts the system's certificate store; no call switches certificate
// checks off. Proxies come from https_proxy / http_proxy (lower case first,
// then upper case) with no_proxy naming the hosts reached directly.
//
// Memory stays bounded however fast the server is: the body is read in
// pieces of at most 64 KiB and written out before more is read.
//
// Main thread only; needs an application object (platform/application.h)
// and its running event loop.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

// The domain of every failure this service reports, with the codes below.
inline constexpr char UrlErrorDomain[] = "URLErrorDomain";

enum UrlErrorCode : int {
  UrlErrorUnknown = -1,
  UrlErrorCancelled = -999,
  UrlErrorBadURL = -1000,
  UrlErrorTimedOut = -1001,
  UrlErrorUnsupportedURL = -1002,
  UrlErrorCannotFindHost = -1003,
  UrlErrorCannotConnectToHost = -1004,
  UrlErrorNetworkConnectionLost = -1005,
  UrlErrorHTTPTooManyRedirects = -1007,
  UrlErrorResourceUnavailable = -1008,
  UrlErrorBadServerResponse = -1011,  // an HTTP error other than 404 and 410
  UrlErrorUserAuthenticationRequired = -1013,
  UrlErrorCannotDecodeContentData = -1016,
  UrlErrorFileDoesNotExist = -1100,  // HTTP 404 and 410, a missing file: URL
  UrlErrorNoPermissionsToReadFile = -1102,
  UrlErrorSecureConnectionFailed = -1200,
  UrlErrorServerCertificateHasBadDate = -1201,
  UrlErrorServerCertificateUntrusted = -1202,
  UrlErrorServerCertificateNotYetValid = -1204,
  UrlErrorCannotCreateFile = -3000,
  UrlErrorCannotWriteToFile = -3003,
  UrlErrorDownloadDecodingFailedMidStream = -3006,
  UrlErrorDownloadDecodingFailedToComplete = -3007,
};

// The readable description the service gives a code ("The request timed
// out." for -1001, ...). Never empty.
std::string localizedDescriptionForUrlError(int code);

// An Error of UrlErrorDomain with `code` and its description.
Error makeUrlError(int code);

enum class UrlRequestCachePolicy : unsigned {
  UseProtocolCachePolicy = 0,
  ReloadIgnoringLocalCacheData = 1,  // always from the server
};

struct UrlRequest {
  std::string url;  // absolute, as absoluteUrlString gives it
  UrlRequestCachePolicy cachePolicy = UrlRequestCachePolicy::UseProtocolCachePolicy;
  // Seconds without any progress (no connection, no data) after which the
  // transfer fails with UrlErrorTimedOut.
  double timeoutInterval = 60.0;
};

// The absolute, encoded form of `text` as a URL ("HTTPS://Host/a" gives
// "https://host/a"), or none when `text` is not an absolute URL (no scheme,
// or it does not parse strictly: a blank in it, for instance).
std::optional<std::string> absoluteUrlString(const std::string& text);

struct UrlResponse {
  std::string url;                      // the address that answered
  std::int64_t expectedContentLength = -1;  // -1: the response gives no length
  std::string mimeType;                 // lower case, without parameters;
                                        // "application/octet-stream" when none
  int statusCode = 0;                   // HTTP status; 0 for file: URLs
  std::string suggestedFilename;        // from Content-Disposition, else the
                                        // last path component; never empty,
                                        // never holds "/"
};

class UrlDownload;

// The delegate of a transfer. Every method has a harmless default; the
// delegate is not owned and must outlive the transfers it serves (or cancel
// them first).
class UrlDownloadDelegate {
 public:
  virtual ~UrlDownloadDelegate() = default;
  // Returns the request to send (normally `request` itself), or none to
  // refuse it: the transfer then fails with UrlErrorCancelled.
  // `redirectResponse` is null for the first request.
  virtual std::optional<UrlRequest> willSendRequest(UrlDownload& download, const UrlRequest& request,
                                                    const UrlResponse* redirectResponse) {
    return request;
  }
  virtual void didReceiveResponse(UrlDownload& download, const UrlResponse& response) {}
  virtual void decideDestinationWithSuggestedFilename(UrlDownload& download,
                                                      const std::string& filename) {}
  virtual void didCreateDestination(UrlDownload& download, const std::string& path) {}
  virtual void didReceiveDataOfLength(UrlDownload& download, std::uint64_t length) {}
  virtual bool shouldDecodeSourceDataOfMIMEType(UrlDownload& download,
                                                const std::string& mimeType) {
    return false;
  }
  virtual void downloadDidFinish(UrlDownload& download) {}
  virtual void didFailWithError(UrlDownload& download, const Error& error) {}
};

// One transfer. Owned by whoever started it; destroying it cancels it.
class UrlDownload {
 public:
  ~UrlDownload();
  UrlDownload(const UrlDownload&) = delete;
  UrlDownload& operator=(const UrlDownload&) = delete;

  // Only meaningful from decideDestinationWithSuggestedFilename: the file to
  // create. With `allowOverwrite` an existing entry of that name (a link
  // itself, never its target) is replaced; without, a unique name is chosen.
  void setDestination(const std::string& path, bool allowOverwrite);

  // Stops the transfer; no callback follows, also when called from inside
  // one. A second call does nothing.
  void cancel();

  // The request as made (before any redirect).
  const UrlRequest& request() const;

  class Impl;
  explicit UrlDownload(std::shared_ptr<Impl> impl);

 private:
  std::shared_ptr<Impl> impl_;
};

struct UrlDownloadOptions {
  // Certificates (PEM text, one or more) trusted in addition to the system
  // store; tests use it for their own authority. It adds trust, it never
  // removes a check.
  std::vector<std::string> additionalTrustedCertificatesPem;
  // Redirect hops followed before UrlErrorHTTPTooManyRedirects.
  int maximumRedirects = 16;
};

// A service lives as long as the transfers it made (they share it).
class UrlDownloadService : public std::enable_shared_from_this<UrlDownloadService> {
 public:
  // The process's service: the system store only, default options.
  static std::shared_ptr<UrlDownloadService> sharedService();
  // A service of its own (tests: extra trust anchors).
  static std::shared_ptr<UrlDownloadService> create(UrlDownloadOptions options);

  ~UrlDownloadService();
  UrlDownloadService(const UrlDownloadService&) = delete;
  UrlDownloadService& operator=(const UrlDownloadService&) = delete;

  // Starts fetching `request` for `delegate` (not owned). Returns the
  // transfer, or null when no transfer can be made: the URL is not an
  // absolute URL, or there is no application object. Any other problem (an
  // unsupported scheme included) is reported later through didFailWithError.
  std::unique_ptr<UrlDownload> startDownload(const UrlRequest& request,
                                             UrlDownloadDelegate* delegate);

  class Impl;
  explicit UrlDownloadService(UrlDownloadOptions options);

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
