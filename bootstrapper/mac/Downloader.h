// Downloader: fetches an ordered list of URLs one after the other, each into
// a file in the user's temporary directory, shows a progress window with a
// Cancel button while it works, and ends every list with exactly one
// notification (named by the caller) telling whether the list succeeded and
// which files were written. It remembers every file it ever created so the
// application can delete them all before it exits (cleanupTempFiles).
//
// Use (main thread only):
//   1. observe the notification name on NotificationCenter::defaultCenter();
//   2. setUrlStrings (at least one URL), setSilent / setIgnoreFailures / the
//      texts as needed;
//   3. startDownload(name);
//   4. on the notification read "DownloaderKeySuccess" (bool) and
//      "DownloaderKeyFiles" (platform::SharedStringList: the live resultPaths
//      list, emptied by the next setUrlStrings, so keep copies of the paths you
//      need later); lastError() tells the error of the last failed transfer;
//   5. start another list only after that notification was delivered;
//   6. cleanupTempFiles before the process ends.
// The notification's object is the Downloader (static_cast<const void*> of
// its Downloader* address).
//
// Success is true when every URL was fetched, and with ignoreFailures also
// when the list ran to its end however many URLs failed. It is false when a
// URL failed without ignoreFailures (later URLs are not tried) and when the
// user cancelled.
//
// A URL for which no transfer can be made (not an absolute URL) is written to
// the log as the failure "could not start download" and then ends like a
// failed transfer: lastError becomes UrlErrorBadURL, and the list either goes
// on (ignoreFailures) or ends with one notification of success false. So
// every list ends with exactly one done notification.
//
// Progress: currentProgressPercent is observable under the key
// "currentProgressPercent" (platform::KeyValueObservable). The Downloader
// changes it only through setValue("currentProgressPercent", double), so the
// progress bar bound to it follows; setCurrentProgressPercent is the plain
// store behind it.
//
// Log records (install::logDownload*): begin with "runtime" / "signature" for
// "InstallerDownloadDone" (first URL / the others) and "crl" for
// "CrlDownloadDone"; no begin record for another name.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/key_value.h"
#include "platform/notification.h"
#include "platform/url_download.h"
#include "platform/widgets.h"

// Names of the done notification's user-info entries.
inline constexpr char DownloaderKeySuccess[] = "DownloaderKeySuccess";
inline constexpr char DownloaderKeyFiles[] = "DownloaderKeyFiles";

class Downloader : public platform::KeyValueObservable, public platform::UrlDownloadDelegate {
 public:
  // Transfers through the process's shared download service (system trust).
  Downloader();
  // Transfers through `service` (tests give one that trusts their own
  // authority). Null means the shared service.
  explicit Downloader(std::shared_ptr<platform::UrlDownloadService> service);
  // Cancels a transfer still running (no callbacks follow) and releases
  // everything it owns; never the outlets.
  ~Downloader() override;

  // Starts the transfer of the URL at currentUrlIndex and remembers
  // `notificationName` for the done notification. Needs a list with an entry
  // at currentUrlIndex (a call without one is ignored).
  void startDownload(const std::string& notificationName);
  // The Cancel action: stops the transfer, closes the window, logs
  // "Download cancelled", posts the done notification with success false.
  // currentUrlIndex is not advanced. `sender` is not read.
  void stopDownLoad(const void* sender = nullptr);
  // bytesReceived 0 and currentProgressPercent 0.0 (observable path);
  // expectedBytes unchanged.
  void resetProgress();
  // true: enables the button and, unless silent, brings the window to the
  // front. false: disables the button, closes the window (also when silent),
  // resets the progress.
  void doingDownload(bool active);
  void setDownloadResponse(const platform::UrlResponse& response);
  // Appends resultPaths to cleanupPaths and queues the done notification
  // (when idle, coalesced on name and sender).
  void sendDoneNotfication(bool success);
  // Removes every path of cleanupPaths (failures ignored), then empties it.
  void cleanupTempFiles();

  // Delegate callbacks of the download service.
  std::optional<platform::UrlRequest> willSendRequest(platform::UrlDownload& download,
                                                      const platform::UrlRequest& request,
                                                      const platform::UrlResponse* redirectResponse) override;
  void didReceiveResponse(platform::UrlDownload& download,
                          const platform::UrlResponse& response) override;
  void decideDestinationWithSuggestedFilename(platform::UrlDownload& download,
                                              const std::string& filename) override;
  void didCreateDestination(platform::UrlDownload& download, const std::string& path) override;
  void didReceiveDataOfLength(platform::UrlDownload& download, std::uint64_t length) override;
  bool shouldDecodeSourceDataOfMIMEType(platform::UrlDownload& download,
                                        const std::string& mimeType) override;
  void downloadDidFinish(platform::UrlDownload& download) override;
  void didFailWithError(platform::UrlDownload& download, const platform::Error& error) override;

  // Accessors.
  double currentProgressPercent() const { return currentProgressPercent_; }
  void setCurrentProgressPercent(double percent) { currentProgressPercent_ = percent; }
  // The caller's list itself (shared, not copied). Setting it also sets
  // currentUrlIndex to 0 and empties resultPaths in place.
  const std::shared_ptr<const std::vector<std::string>>& urlStrings() const { return urlStrings_; }
  void setUrlStrings(std::shared_ptr<const std::vector<std::string>> urlStrings);
  // Arguments for the runtime installer, kept for the application; an own
  // copy; none gives an empty list.
  const std::vector<std::string>& runtimeArgs() const { return runtimeArgs_; }
  void setRuntimeArgs(const std::optional<std::vector<std::string>>& args);
  const std::string& localizedPleaseWait() const { return localizedPleaseWait_; }
  void setLocalizedPleaseWait(const std::string& text);
  const std::string& localizedCancel() const { return localizedCancel_; }
  void setLocalizedCancel(const std::string& text);
  bool ignoreFailures() const { return ignoreFailures_; }
  void setIgnoreFailures(bool ignore) { ignoreFailures_ = ignore; }
  bool silent() const { return silent_; }
  void setSilent(bool silent) { silent_ = silent; }
  // The error of the most recent failed transfer of any list; never cleared
  // by the Downloader.
  const std::optional<platform::Error>& lastError() const { return lastError_; }
  void setLastError(std::optional<platform::Error> error) { lastError_ = std::move(error); }

  // Read-only state.
  std::int64_t bytesReceived() const { return bytesReceived_; }
  std::int64_t expectedBytes() const { return expectedBytes_; }
  std::int32_t currentUrlIndex() const { return currentUrlIndex_; }
  // The live list of the files created during the current list, in order.
  const platform::SharedStringList& resultPaths() const { return resultPaths_; }
  // The files of every list that has ended, for cleanupTempFiles.
  const std::vector<std::string>& cleanupPaths() const { return cleanupPaths_; }
  const std::string& notificationName() const { return notificationName_; }
  const std::optional<platform::UrlResponse>& urlResponse() const { return urlResponse_; }
  // True while a transfer is held (running, or cancelled and not yet
  // replaced by the next one).
  bool hasTransfer() const { return urlDownload_ != nullptr; }

  // Outlets, filled by the interface file; not owned, may stay null (no
  // display, or a client without a window).
  platform::Window* progressWindow() const { return progressWindow_; }
  void setProgressWindow(platform::Window* window) { progressWindow_ = window; }
  platform::ProgressIndicator* progressBar() const { return progressBar_; }
  void setProgressBar(platform::ProgressIndicator* bar) { progressBar_ = bar; }
  platform::Button* cancelButton() const { return cancelButton_; }
  void setCancelButton(platform::Button* button) { cancelButton_ = button; }

  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;

 private:
  // Ends the current URL after a failure (a failed transfer or one that
  // could not be made): next URL with ignoreFailures, else the done
  // notification.
  void advanceAfterFailure();

  std::int64_t bytesReceived_ = 0;
  std::int64_t expectedBytes_ = 0;
  double currentProgressPercent_ = 0.0;
  std::int32_t currentUrlIndex_ = 0;
  std::shared_ptr<const std::vector<std::string>> urlStrings_;
  std::vector<std::string> runtimeArgs_;
  std::unique_ptr<platform::UrlDownload> urlDownload_;
  std::optional<platform::UrlResponse> urlResponse_;
  platform::SharedStringList resultPaths_;
  std::vector<std::string> cleanupPaths_;
  std::optional<platform::Error> lastError_;
  bool ignoreFailures_ = false;
  bool silent_ = false;
  std::string notificationName_;
  platform::Window* progressWindow_ = nullptr;
  platform::ProgressIndicator* progressBar_ = nullptr;
  platform::Button* cancelButton_ = nullptr;
  std::string localizedPleaseWait_;
  std::string localizedCancel_;

  std::shared_ptr<platform::UrlDownloadService> service_;
};
