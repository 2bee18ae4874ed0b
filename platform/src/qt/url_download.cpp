// The URL download service over QNetworkAccessManager. Everything runs on the
// main thread; the manager's own network thread only fills the reply's read
// buffer, which is capped so a fast server cannot outrun the file writes.
#include "platform/url_download.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "proxy_environment.h"

namespace platform {
namespace {

// The most the reply may hold unread: the network thread stops reading from
// the socket when it is full, so memory stays flat for any file size.
constexpr qint64 kReadBufferSize = 64 * 1024;

class EnvironmentProxyFactory : public QNetworkProxyFactory {
 public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
    const QUrl url = query.url();
    const auto setting = detail::proxyFromEnvironment(
        url.scheme().toStdString(), url.host().toStdString(),
        url.port(url.scheme() == QLatin1String("https") ? 443 : 80),
        [](const char* name) -> const char* { return std::getenv(name); });
    if (!setting) return {QNetworkProxy(QNetworkProxy::NoProxy)};
    QNetworkProxy proxy(setting->kind == detail::ProxySetting::Kind::Socks5
                            ? QNetworkProxy::Socks5Proxy
                            : QNetworkProxy::HttpProxy,
                        QString::fromStdString(setting->host),
                        static_cast<quint16>(setting->port));
    if (!setting->user.empty()) {
      proxy.setUser(QUrl::fromPercentEncoding(QByteArray::fromStdString(setting->user)));
      proxy.setPassword(QUrl::fromPercentEncoding(QByteArray::fromStdString(setting->password)));
    }
    return {proxy};
  }
};

bool isGzipType(const std::string& mime) {
  return mime == "application/gzip" || mime == "application/x-gzip";
}

// A file name that is safe to join to a folder: no folder part, no control
// characters, not "." or "..".
std::string safeFileName(std::string name) {
  for (const char sep : {'/', '\\'}) {
    const auto pos = name.rfind(sep);
    if (pos != std::string::npos) name = name.substr(pos + 1);
  }
  std::erase_if(name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
  if (name == "." || name == "..") name.clear();
  return name;
}

std::string filenameFromContentDisposition(const QByteArray& header) {
  const std::string h = header.toStdString();
  // filename*=charset'lang'percent-encoded takes precedence over filename=.
  auto star = h.find("filename*=");
  if (star != std::string::npos) {
    std::string v = h.substr(star + 10);
    v = v.substr(0, v.find(';'));
    const auto quote = v.find("''");
    if (quote != std::string::npos) v = v.substr(quote + 2);
    return QUrl::fromPercentEncoding(QByteArray::fromStdString(v)).toStdString();
  }
  auto plain = h.find("filename=");
  if (plain == std::string::npos) return {};
  std::string v = h.substr(plain + 9);
  if (!v.empty() && v.front() == '"') {
    const auto end = v.find('"', 1);
    return v.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  }
  v = v.substr(0, v.find(';'));
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
  return v;
}

// "dir/name.ext" with "-n" before the extension; a leading dot is part of the
// name, not an extension.
std::string numberedPath(const std::string& path, int n) {
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0)
    return dir + name + "-" + std::to_string(n);
  return dir + name.substr(0, dot) + "-" + std::to_string(n) + name.substr(dot);
}

int openExclusive(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

int urlErrorForNetworkError(QNetworkReply::NetworkError e) {
  switch (e) {
    case QNetworkReply::ConnectionRefusedError: return UrlErrorCannotConnectToHost;
    case QNetworkReply::RemoteHostClosedError: return UrlErrorNetworkConnectionLost;
    case QNetworkReply::HostNotFoundError: return UrlErrorCannotFindHost;
    case QNetworkReply::TimeoutError: return UrlErrorTimedOut;
    // The service never aborts a reply it still listens to, so a cancelled
    // reply is the idle timeout (setTransferTimeout ends that way).
    case QNetworkReply::OperationCanceledError: return UrlErrorTimedOut;
    case QNetworkReply::SslHandshakeFailedError: return UrlErrorSecureConnectionFailed;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError: return UrlErrorNetworkConnectionLost;
    case QNetworkReply::TooManyRedirectsError: return UrlErrorHTTPTooManyRedirects;
    case QNetworkReply::ProxyConnectionRefusedError: return UrlErrorCannotConnectToHost;
    case QNetworkReply::ProxyConnectionClosedError: return UrlErrorNetworkConnectionLost;
    case QNetworkReply::ProxyNotFoundError: return UrlErrorCannotFindHost;
    case QNetworkReply::ProxyTimeoutError: return UrlErrorTimedOut;
    case QNetworkReply::ProxyAuthenticationRequiredError: return UrlErrorUserAuthenticationRequired;
    case QNetworkReply::UnknownProxyError: return UrlErrorCannotConnectToHost;
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::ContentGoneError: return UrlErrorFileDoesNotExist;
    case QNetworkReply::ContentAccessDenied: return UrlErrorNoPermissionsToReadFile;
    case QNetworkReply::ContentOperationNotPermittedError: return UrlErrorResourceUnavailable;
    case QNetworkReply::ProtocolUnknownError: return UrlErrorUnsupportedURL;
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProtocolFailure: return UrlErrorBadServerResponse;
    default:
      if (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownServerError)
        return UrlErrorBadServerResponse;
      return UrlErrorUnknown;
  }
}

int urlErrorForSslErrors(const QList<QSslError>& errors) {
  for (const QSslError& e : errors) {
    switch (e.error()) {
      case QSslError::CertificateExpired: return UrlErrorServerCertificateHasBadDate;
      case QSslError::CertificateNotYetValid: return UrlErrorServerCertificateNotYetValid;
      default: break;
    }
  }
  return UrlErrorServerCertificateUntrusted;
}

}  // namespace

std::string localizedDescriptionForUrlError(int code) {
  switch (code) {
    case UrlErrorCancelled: return "The transfer was cancelled.";
    case UrlErrorBadURL: return "The address is not a valid URL.";
    case UrlErrorTimedOut: return "The request timed out.";
    case UrlErrorUnsupportedURL: return "The address uses a scheme that cannot be downloaded.";
    case UrlErrorCannotFindHost: return "A server with the specified host name could not be found.";
    case UrlErrorCannotConnectToHost: return "Could not connect to the server.";
    case UrlErrorNetworkConnectionLost: return "The network connection was lost.";
    case UrlErrorHTTPTooManyRedirects: return "The server redirected the request too many times.";
    case UrlErrorResourceUnavailable: return "The resource is not available.";
    case UrlErrorBadServerResponse: return "The server returned an error or an unreadable response.";
    case UrlErrorUserAuthenticationRequired: return "The server or proxy requires authentication.";
    case UrlErrorCannotDecodeContentData: return "The downloaded data could not be decoded.";
    case UrlErrorFileDoesNotExist: return "The requested file was not found on the server.";
    case UrlErrorNoPermissionsToReadFile: return "The file cannot be read.";
    case UrlErrorSecureConnectionFailed: return "A secure connection to the server could not be made.";
    case UrlErrorServerCertificateHasBadDate:
      return "The server's certificate has expired or is not valid at this time.";
    case UrlErrorServerCertificateUntrusted:
      return "The server's certificate is not trusted; the server may not be the one it claims to be.";
    case UrlErrorServerCertificateNotYetValid: return "The server's certificate is not yet valid.";
    case UrlErrorCannotCreateFile: return "The download file could not be created.";
    case UrlErrorCannotWriteToFile: return "The download file could not be written.";
    case UrlErrorDownloadDecodingFailedMidStream:
      return "The downloaded data is not valid gzip data.";
    case UrlErrorDownloadDecodingFailedToComplete:
      return "The downloaded gzip data ended before it was complete.";
    default: return "The download failed for an unknown reason.";
  }
}

Error makeUrlError(int code) {
  return Error{UrlErrorDomain, code, localizedDescriptionForUrlError(code)};
}

std::optional<std::string> absoluteUrlString(const std::string& text) {
  const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
  if (text.empty() || !url.isValid() || url.isRelative()) return std::nullopt;
  return url.toString(QUrl::FullyEncoded).toStdString();
}

// ---------------------------------------------------------------------------

class UrlDownloadService::Impl {
 public:
  explicit Impl(UrlDownloadOptions o) : options(std::move(o)) {
    if (!options.additionalTrustedCertificatesPem.empty()) {
      // setCaCertificates replaces the store Qt would load on demand, so the
      // system store is put in explicitly: extra anchors only ever add trust.
      QList<QSslCertificate> cas = QSslConfiguration::systemCaCertificates();
      for (const std::string& pem : options.additionalTrustedCertificatesPem)
        cas += QSslCertificate::fromData(QByteArray::fromStdString(pem), QSsl::Pem);
      QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
      conf.setCaCertificates(cas);
      ssl = conf;
    }
  }
  ~Impl() { delete nam.data(); }

  QNetworkAccessManager* manager() {
    if (!nam) {
      // Parented to the application so it goes when the application goes,
      // whichever of the two ends first.
      nam = new QNetworkAccessManager(QCoreApplication::instance());
      nam->setProxyFactory(new EnvironmentProxyFactory);
      nam->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
      nam->setStrictTransportSecurityEnabled(false);
    }
    return nam.data();
  }

  UrlDownloadOptions options;
  QPointer<QNetworkAccessManager> nam;
  std::optional<QSslConfiguration> ssl;
};

class UrlDownload::Impl : public std::enable_shared_from_this<UrlDownload::Impl> {
 public:
  Impl(std::shared_ptr<UrlDownloadService> service, UrlDownloadService::Impl* serviceImpl,
       UrlRequest request, UrlDownloadDelegate* delegate)
      : service_(std::move(service)),
        serviceImpl_(serviceImpl),
        request_(std::move(request)),
        delegate_(delegate),
        guard_(std::make_unique<QObject>()) {}

  ~Impl() {
    dropReply();
    closeFile();
    endDecoder();
  }

  void start(UrlDownload* owner) {
    owner_ = owner;
    // Callbacks never run inside the call that made the transfer.
    QTimer::singleShot(0, guard_.get(), [w = weak_from_this()] {
      if (auto self = w.lock()) self->begin();
    });
  }

  void detach() {
    cancel();
    owner_ = nullptr;
  }

  void cancel() {
    if (ended_) return;
    ended_ = true;
    dropReply();
    closeFile();
  }

  void setDestination(const std::string& path, bool allowOverwrite) {
    destination_ = path;
    allowOverwrite_ = allowOverwrite;
  }

  const UrlRequest& request() const { return request_; }

 private:
  UrlDownload& owner() { return *owner_; }

  void begin() {
    if (ended_) return;
    auto keep = shared_from_this();
    auto approved = delegate_->willSendRequest(owner(), request_, nullptr);
    if (ended_) return;
    if (!approved) return fail(UrlErrorCancelled);
    send(*approved);
  }

  void send(const UrlRequest& r) {
    current_ = r;
    const QUrl url(QString::fromStdString(r.url), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative()) return fail(UrlErrorBadURL);
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
        scheme != QLatin1String("file"))
      return fail(UrlErrorUnsupportedURL);
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                     r.cachePolicy == UrlRequestCachePolicy::ReloadIgnoringLocalCacheData
                         ? QNetworkRequest::AlwaysNetwork
                         : QNetworkRequest::PreferNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Each hop is decided by the delegate and sent as a request of its own.
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // HTTP/1.1 only: the read-buffer cap is what keeps memory flat.
    req.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // Without this Qt asks for gzip itself, inflates behind our back and
    // drops the length the server announced.
    req.setRawHeader("Accept-Encoding", "identity");
    const double seconds = r.timeoutInterval > 0 ? r.timeoutInterval : 60.0;
    req.setTransferTimeout(static_cast<int>(std::max(1.0, seconds * 1000.0)));
    if (serviceImpl_->ssl) req.setSslConfiguration(*serviceImpl_->ssl);

    responseHandled_ = false;
    sslErrorCode_ = 0;
    pendingFailure_ = 0;
    QNetworkReply* reply = serviceImpl_->manager()->get(req);
    reply->setReadBufferSize(kReadBufferSize);
    reply_ = reply;
    auto w = weak_from_this();
    QObject* g = guard_.get();
    QObject::connect(reply, &QNetworkReply::metaDataChanged, g, [w] {
      if (auto self = w.lock()) self->onMetaData();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, g, [w] {
      if (auto self = w.lock()) self->onReadyRead();
    });
    QObject::connect(reply, &QNetworkReply::sslErrors, g, [w](const QList<QSslError>& errors) {
      if (auto self = w.lock()) self->sslErrorCode_ = urlErrorForSslErrors(errors);
    });
    QObject::connect(reply, &QNetworkReply::finished, g, [w] {
      if (auto self = w.lock()) self->onFinished();
    });
  }

  bool replyHasStatus() const {
    return reply_ && reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
  }

  void onMetaData() {
    if (ended_ || responseHandled_ || !replyHasStatus()) return;
    auto keep = shared_from_this();
    handleResponse();
  }

  // The final response (or a redirect). Returns false when the transfer
  // ended, was redirected or lost its reply meanwhile.
  bool handleResponse() {
    responseHandled_ = true;
    QNetworkReply* reply = reply_;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A header the network access manager could not take (a field over
    // 100 KiB, more than 100 fields, megabytes in all) reaches us as a
    // status with no fields at all, and the body would be read up to the
    // end of the connection as if nothing were wrong. Every real HTTP
    // server sends at least one field, so this is a broken or hostile
    // answer: refused before a redirect is followed or a file is made.
    if (status > 0 && reply->rawHeaderPairs().isEmpty()) {
      fail(UrlErrorBadServerResponse);
      return false;
    }
    UrlResponse response;
    response.url = reply->url().toString(QUrl::FullyEncoded).toStdString();
    response.statusCode = status;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    response.expectedContentLength = length.isValid() ? length.toLongLong() : -1;
    std::string mime = reply->header(QNetworkRequest::ContentTypeHeader).toString().toStdString();
    mime = mime.substr(0, mime.find(';'));
    while (!mime.empty() && (mime.back() == ' ' || mime.back() == '\t')) mime.pop_back();
    for (char& c : mime) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    response.mimeType = mime.empty() ? "application/octet-stream" : mime;
    std::string name = safeFileName(
        filenameFromContentDisposition(reply->rawHeader("Content-Disposition")));
    if (name.empty()) name = safeFileName(reply->url().fileName(QUrl::FullyDecoded).toStdString());
    response.suggestedFilename = name.empty() ? "download" : name;

    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (status >= 300 && status < 400 && target.isValid()) {
      redirect(reply->url().resolved(target.toUrl()), response);
      return false;
    }

    delegate_->didReceiveResponse(owner(), response);
    if (ended_) return false;
    if (status >= 400) {
      // The error body is read and dropped and the failure reported when the
      // reply ends: aborting a reply in the middle of Qt's own error
      // handling for the status makes it report the error twice.
      pendingFailure_ = status == 404 || status == 410 ? UrlErrorFileDoesNotExist
                                                       : UrlErrorBadServerResponse;
      discardBody();
      return false;
    }
    if (isGzipType(response.mimeType)) {
      const bool decode = delegate_->shouldDecodeSourceDataOfMIMEType(owner(), response.mimeType);
      if (ended_) return false;
      if (decode) {
        if (!startDecoder()) return fail(UrlErrorCannotDecodeContentData), false;
        // The stored file holds the inflated data; its name says so.
        const std::string& n = response.suggestedFilename;
        if (n.size() > 3 && n.compare(n.size() - 3, 3, ".gz") == 0)
          response.suggestedFilename = n.substr(0, n.size() - 3);
      }
    }
    delegate_->decideDestinationWithSuggestedFilename(owner(), response.suggestedFilename);
    if (ended_) return false;
    if (!destination_) return fail(UrlErrorCannotCreateFile), false;
    if (!createFile()) return fail(UrlErrorCannotCreateFile), false;
    delegate_->didCreateDestination(owner(), createdPath_);
    return !ended_ && reply_ != nullptr;
  }

  void redirect(const QUrl& target, const UrlResponse& redirectResponse) {
    dropReply();
    if (++hops_ > serviceImpl_->options.maximumRedirects) return fail(UrlErrorHTTPTooManyRedirects);
    const QString scheme = target.scheme().toLower();
    // A server must not be able to turn a download into a copy of a local
    // file by redirecting to file:.
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
      return fail(UrlErrorUnsupportedURL);
    UrlRequest next = current_;
    next.url = target.toString(QUrl::FullyEncoded).toStdString();
    auto approved = delegate_->willSendRequest(owner(), next, &redirectResponse);
    if (ended_) return;
    if (!approved) return fail(UrlErrorCancelled);
    send(*approved);
  }

  void onReadyRead() {
    if (ended_ || !reply_) return;
    auto keep = shared_from_this();
    if (pendingFailure_) return discardBody();
    if (!responseHandled_ && !handleResponse()) return;
    drain();
  }

  void discardBody() {
    if (reply_) reply_->skip(reply_->bytesAvailable());
  }

  // Moves what the reply holds into the file, one piece at a time.
  void drain() {
    while (!ended_ && reply_ && reply_->bytesAvailable() > 0) {
      const QByteArray chunk = reply_->read(kReadBufferSize);
      if (chunk.isEmpty()) break;
      const int writeError = decoding_ ? inflateAndWrite(chunk) : writeAll(chunk.constData(), chunk.size());
      if (writeError) return fail(writeError);
      delegate_->didReceiveDataOfLength(owner(), static_cast<std::uint64_t>(chunk.size()));
    }
  }

  void onFinished() {
    if (ended_ || !reply_) return;
    auto keep = shared_from_this();
    QNetworkReply* reply = reply_;
    const QNetworkReply::NetworkError error = reply->error();
    if (pendingFailure_) return fail(pendingFailure_);
    if (!responseHandled_ && (replyHasStatus() || error == QNetworkReply::NoError)) {
      if (!handleResponse()) {
        if (pendingFailure_) fail(pendingFailure_);
        return;
      }
    }
    if (responseHandled_ && reply_) drain();
    if (ended_ || !reply_) return;
    if (error != QNetworkReply::NoError) {
      if (error == QNetworkReply::SslHandshakeFailedError && sslErrorCode_) return fail(sslErrorCode_);
      return fail(urlErrorForNetworkError(error));
    }
    if (decoding_ && !decoderDone_) return fail(UrlErrorDownloadDecodingFailedToComplete);
    ended_ = true;
    dropReply();
    const bool closed = closeFile();
    if (!closed) {
      ended_ = false;
      return fail(UrlErrorCannotWriteToFile);
    }
    delegate_->downloadDidFinish(owner());
  }

  void fail(int code) {
    if (ended_) return;
    ended_ = true;
    dropReply();
    closeFile();
    delegate_->didFailWithError(owner(), makeUrlError(code));
  }

  void dropReply() {
    if (QNetworkReply* reply = reply_) {
      reply_ = nullptr;
      QObject::disconnect(reply, nullptr, guard_.get(), nullptr);
      if (!reply->isFinished()) reply->abort();
      reply->deleteLater();
    }
  }

  bool createFile() {
    const std::string& path = *destination_;
    int fd = openExclusive(path);
    std::string created = path;
    if (fd < 0 && errno == EEXIST) {
      if (allowOverwrite_) {
        // unlink removes a link itself, never what it points at.
        if (::unlink(path.c_str()) == 0) fd = openExclusive(path);
      } else {
        for (int n = 1; fd < 0 && errno == EEXIST && n < 10000; ++n) {
          created = numberedPath(path, n);
          fd = openExclusive(created);
        }
      }
    }
    if (fd < 0) return false;
    fd_ = fd;
    createdPath_ = created;
    return true;
  }

  bool closeFile() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

  int writeAll(const char* data, qint64 size) {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, static_cast<size_t>(size));
      if (n < 0) {
        if (errno == EINTR) continue;
        return UrlErrorCannotWriteToFile;
      }
      data += n;
      size -= n;
    }
    return 0;
  }

  bool startDecoder() {
    std::memset(&zs_, 0, sizeof zs_);
    // 15 + 32: a gzip or zlib header, detected.
    if (inflateInit2(&zs_, 15 + 32) != Z_OK) return false;
    decoding_ = true;
    decoderDone_ = false;
    return true;
  }

  void endDecoder() {
    if (decoding_) inflateEnd(&zs_);
    decoding_ = false;
  }

  int inflateAndWrite(const QByteArray& input) {
    zs_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    zs_.avail_in = static_cast<uInt>(input.size());
    unsigned char out[64 * 1024];
    while (zs_.avail_in > 0) {
      if (decoderDone_) {
        // Several gzip members one after the other form one file, as gunzip
        // reads them.
        if (inflateReset(&zs_) != Z_OK) return UrlErrorDownloadDecodingFailedMidStream;
        decoderDone_ = false;
      }
      do {
        zs_.next_out = out;
        zs_.avail_out = sizeof out;
        const int rc = inflate(&zs_, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
          return UrlErrorDownloadDecodingFailedMidStream;
        const qint64 produced = static_cast<qint64>(sizeof out - zs_.avail_out);
        if (produced > 0)
          if (int e = writeAll(reinterpret_cast<const char*>(out), produced)) return e;
        if (rc == Z_STREAM_END) {
          decoderDone_ = true;
          break;
        }
        if (rc == Z_BUF_ERROR && produced == 0) break;
      } while (zs_.avail_out == 0);
    }
    return 0;
  }

  std::shared_ptr<UrlDownloadService> service_;  // kept alive by its transfers
  UrlDownloadService::Impl* serviceImpl_;
  UrlRequest request_;
  UrlRequest current_;
  UrlDownloadDelegate* delegate_;
  UrlDownload* owner_ = nullptr;
  std::unique_ptr<QObject> guard_;  // context of every connection and timer
  QPointer<QNetworkReply> reply_;
  bool ended_ = false;
  bool responseHandled_ = false;
  int sslErrorCode_ = 0;
  int pendingFailure_ = 0;  // an HTTP error status waiting for the reply's end
  int hops_ = 0;
  std::optional<std::string> destination_;
  bool allowOverwrite_ = false;
  std::string createdPath_;
  int fd_ = -1;
  bool decoding_ = false;
  bool decoderDone_ = false;
  z_stream zs_{};
};

// ---------------------------------------------------------------------------

UrlDownload::UrlDownload(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

UrlDownload::~UrlDownload() {
  // A callback of this very transfer may be on the stack; it holds its own
  // reference to impl_ and returns as soon as it sees the transfer ended.
  if (impl_) impl_->detach();
}

void UrlDownload::setDestination(const std::string& path, bool allowOverwrite) {
  impl_->setDestination(path, allowOverwrite);
}

void UrlDownload::cancel() { impl_->cancel(); }

const UrlRequest& UrlDownload::request() const { return impl_->request(); }

UrlDownloadService::UrlDownloadService(UrlDownloadOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

UrlDownloadService::~UrlDownloadService() = default;

std::shared_ptr<UrlDownloadService> UrlDownloadService::sharedService() {
  static const std::shared_ptr<UrlDownloadService> service = create({});
  return service;
}

std::shared_ptr<UrlDownloadService> UrlDownloadService::create(UrlDownloadOptions options) {
  return std::shared_ptr<UrlDownloadService>(new UrlDownloadService(std::move(options)));
}

std::unique_ptr<UrlDownload> UrlDownloadService::startDownload(const UrlRequest& request,
                                                               UrlDownloadDelegate* delegate) {
  if (!delegate || !QCoreApplication::instance() || !absoluteUrlString(request.url)) return nullptr;
  auto impl = std::make_shared<UrlDownload::Impl>(shared_from_this(), impl_.get(), request, delegate);
  auto download = std::make_unique<UrlDownload>(impl);
  impl->start(download.get());
  return download;
}

}  // namespace platform
