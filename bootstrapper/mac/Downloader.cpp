#include "Downloader.h"

#include "DebugTrace.h"
#include "InstallLogMsgs.h"
#include "platform/file_manager.h"
#include "platform/paths.h"

namespace {

constexpr char kProgressKey[] = "currentProgressPercent";
constexpr char kInstallerDownloadDone[] = "InstallerDownloadDone";
constexpr char kCrlDownloadDone[] = "CrlDownloadDone";

// Progress is published only past this many bytes, so the small signature
// and revocation-list files cause no window updates at all.
constexpr std::int64_t kProgressThreshold = 16384;

// Transfers are given up after this long without any progress.
constexpr double kRequestTimeoutSeconds = 30.0;

}  // namespace

Downloader::Downloader() : Downloader(nullptr) {}

Downloader::Downloader(std::shared_ptr<platform::UrlDownloadService> service)
    : resultPaths_(std::make_shared<std::vector<std::string>>()),
      service_(service ? std::move(service) : platform::UrlDownloadService::sharedService()) {
  resultPaths_->reserve(10);
  cleanupPaths_.reserve(10);
  exposeKey(
      kProgressKey,
      [this](const platform::Value& v) { setCurrentProgressPercent(platform::doubleFromValue(v)); },
      [this] { return platform::Value(currentProgressPercent()); });
  setValue(kProgressKey, 0.0);
}

Downloader::~Downloader() {
  // The transfer goes first: it must not call back into a half-destroyed
  // delegate, and it shares the service that is released after it.
  urlDownload_.reset();
}

void Downloader::startDownload(const std::string& notificationName) {
  if (!urlStrings_ || currentUrlIndex_ < 0 ||
      static_cast<std::size_t>(currentUrlIndex_) >= urlStrings_->size()) {
    DebugTrace("Downloader: no URL at index %d", currentUrlIndex_);
    return;
  }
  const std::string& urlString = (*urlStrings_)[static_cast<std::size_t>(currentUrlIndex_)];
  resetProgress();

  platform::UrlRequest request;
  const auto absolute = platform::absoluteUrlString(urlString);
  request.url = absolute.value_or(urlString);
  request.cachePolicy = platform::UrlRequestCachePolicy::ReloadIgnoringLocalCacheData;
  request.timeoutInterval = kRequestTimeoutSeconds;

  if (notificationName == kInstallerDownloadDone)
    install::logDownloadBegin(currentUrlIndex_ == 0 ? "runtime" : "signature", request.url.c_str());
  else if (notificationName == kCrlDownloadDone)
    install::logDownloadBegin("crl", request.url.c_str());

  // The name is kept before the transfer is made: a URL that cannot be
  // fetched at all ends the list from inside this call, and the done
  // notification needs the name.
  notificationName_ = notificationName;
  urlDownload_.reset();
  urlDownload_ = service_->startDownload(request, this);
  if (urlDownload_) {
    doingDownload(true);
    return;
  }
  install::logDownloadFailure("could not start download");
  lastError_ = platform::makeUrlError(platform::UrlErrorBadURL);
  advanceAfterFailure();
}

void Downloader::stopDownLoad(const void* /*sender*/) {
  if (urlDownload_) urlDownload_->cancel();
  doingDownload(false);
  install::logDownloadCancel();
  sendDoneNotfication(false);
}

void Downloader::resetProgress() {
  bytesReceived_ = 0;
  setValue(kProgressKey, 0.0);
}

void Downloader::doingDownload(bool active) {
  if (cancelButton_) cancelButton_->setEnabled(active);
  if (active) {
    if (!silent_ && progressWindow_) progressWindow_->makeKeyAndOrderFront();
  } else {
    if (progressWindow_) progressWindow_->close();
    resetProgress();
  }
}

void Downloader::setDownloadResponse(const platform::UrlResponse& response) {
  urlResponse_ = response;
}

void Downloader::sendDoneNotfication(bool success) {
  cleanupPaths_.insert(cleanupPaths_.end(), resultPaths_->begin(), resultPaths_->end());
  platform::Notification n;
  n.name = notificationName_;
  n.object = static_cast<const void*>(this);
  n.userInfo[DownloaderKeySuccess] = success;
  n.userInfo[DownloaderKeyFiles] = resultPaths_;
  platform::NotificationQueue::defaultQueue().enqueueNotification(std::move(n),
                                                                  platform::PostingStyle::WhenIdle);
}

void Downloader::cleanupTempFiles() {
  for (const std::string& path : cleanupPaths_) platform::removeItemAtPath(path);
  cleanupPaths_.clear();
}

std::optional<platform::UrlRequest> Downloader::willSendRequest(
    platform::UrlDownload& /*download*/, const platform::UrlRequest& request,
    const platform::UrlResponse* /*redirectResponse*/) {
  // Every redirect is followed; the service limits the number of hops.
  return request;
}

void Downloader::didReceiveResponse(platform::UrlDownload& /*download*/,
                                    const platform::UrlResponse& response) {
  resetProgress();
  setDownloadResponse(response);
  expectedBytes_ = response.expectedContentLength;
}

void Downloader::decideDestinationWithSuggestedFilename(platform::UrlDownload& download,
                                                        const std::string& filename) {
  std::string directory = platform::temporaryDirectory();
  if (directory.empty()) directory = platform::homeDirectory();
  const std::string destination = platform::appendPathComponent(directory, filename);
  install::logDownloadDest(destination.c_str());
  download.setDestination(destination, false);
}

void Downloader::didCreateDestination(platform::UrlDownload& /*download*/, const std::string& path) {
  resultPaths_->push_back(path);
}

void Downloader::didReceiveDataOfLength(platform::UrlDownload& /*download*/, std::uint64_t length) {
  bytesReceived_ += static_cast<std::int64_t>(length);
  if (expectedBytes_ > 0 && bytesReceived_ > kProgressThreshold) {
    // Neither rounded nor capped: a server sending more than it announced
    // drives the value past 100.
    setValue(kProgressKey, static_cast<double>(bytesReceived_) / static_cast<double>(expectedBytes_) * 100.0);
  }
}

bool Downloader::shouldDecodeSourceDataOfMIMEType(platform::UrlDownload& /*download*/,
                                                  const std::string& mimeType) {
  return mimeType == "application/gzip" || mimeType == "application/x-gzip";
}

void Downloader::downloadDidFinish(platform::UrlDownload& /*download*/) {
  urlDownload_.reset();
  install::logDownloadSuccess();
  ++currentUrlIndex_;
  if (static_cast<std::size_t>(currentUrlIndex_) < urlStrings_->size()) {
    resetProgress();
    startDownload(notificationName_);
  } else {
    doingDownload(false);
    sendDoneNotfication(true);
  }
}

void Downloader::didFailWithError(platform::UrlDownload& /*download*/, const platform::Error& error) {
  urlDownload_.reset();
  lastError_ = error;
  install::logDownloadFailure(error.localizedDescription.c_str());
  advanceAfterFailure();
}

void Downloader::advanceAfterFailure() {
  ++currentUrlIndex_;
  if (ignoreFailures_ && static_cast<std::size_t>(currentUrlIndex_) < urlStrings_->size()) {
    resetProgress();
    startDownload(notificationName_);
  } else {
    doingDownload(false);
    sendDoneNotfication(ignoreFailures_);
  }
}

void Downloader::setUrlStrings(std::shared_ptr<const std::vector<std::string>> urlStrings) {
  urlStrings_ = std::move(urlStrings);
  currentUrlIndex_ = 0;
  resultPaths_->clear();
}

void Downloader::setRuntimeArgs(const std::optional<std::vector<std::string>>& args) {
  runtimeArgs_ = args.value_or(std::vector<std::string>{});
}

void Downloader::setLocalizedPleaseWait(const std::string& text) { localizedPleaseWait_ = text; }

void Downloader::setLocalizedCancel(const std::string& text) { localizedCancel_ = text; }
