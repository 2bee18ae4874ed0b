// vantor-verify-probe: runs one signature verification the way the
// bootstrapper does (a verifier given the process's Downloader, the result
// awaited on the event loop) and reports what came out, so tests can run it
// inside the emulated Mac and read the real system log it wrote, and the
// benchmark can time it.
//
//   vantor-verify-probe [--cancel-crl] DATA SIGNATURE
//
// --cancel-crl presses Cancel as soon as the first revocation-list response
// arrives, as a user would while the lists download.
//
// Standard output, one "key=value" line each:
//   notifications=<number of "SignatureVerifyDone" delivered>
//   valid=<0|1>            from the first one
//   error=<errorString>
//   sender=<1 when the notification's object was the verifier>
//   pending=<notifications still queued after the loop ended>
//   synchronous=<1 when a result arrived inside verifyDataAtPath itself>
//   crlFiles=<number of revocation-list files the Downloader created>
// Exit status 0 when the verification ended, 2 on a usage error.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "Downloader.h"
#include "SignatureVerification.h"
#include "platform/application.h"
#include "platform/notification.h"

namespace {

// The Downloader with a user at the Cancel button: it presses Cancel once
// the first revocation-list response has come in.
class CancellingDownloader : public Downloader {
 public:
  bool cancelCrl = false;
  void didReceiveResponse(platform::UrlDownload& download, const platform::UrlResponse& response) override {
    Downloader::didReceiveResponse(download, response);
    if (cancelCrl && notificationName() == "CrlDownloadDone") {
      cancelCrl = false;
      stopDownLoad();
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  bool cancelCrl = false;
  int first = 1;
  if (argc > first && std::strcmp(argv[first], "--cancel-crl") == 0) {
    cancelCrl = true;
    ++first;
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: vantor-verify-probe [--cancel-crl] DATA SIGNATURE\n");
    return 2;
  }
  const std::string data = argv[first], signature = argv[first + 1];

  platform::Application& app = platform::Application::sharedApplication();
  CancellingDownloader downloader;
  downloader.cancelCrl = cancelCrl;
  downloader.setSilent(true);

  auto verifier = std::make_unique<SignatureVerification>();
  const void* verifierAddress = verifier.get();
  verifier->setDownloader(&downloader);

  int notifications = 0;
  bool valid = false, fromVerifier = false, insideCall = false, synchronous = false;
  std::string error;
  int observerTag = 0;
  platform::NotificationCenter::defaultCenter().addObserver(
      &observerTag, "SignatureVerifyDone", nullptr, [&](const platform::Notification& n) {
        ++notifications;
        // Still inside the verifier's own call: it must not go away here.
        if (insideCall) {
          synchronous = true;
          return;
        }
        if (notifications > 1) return;
        const bool* v = n.get<bool>("SignatureKeyIsValid");
        valid = v && *v;
        fromVerifier = n.object == verifierAddress;
        error = verifier->errorString();
        // As the bootstrapper does: the verifier goes once it has answered.
        verifier.reset();
        app.terminate(0);
      });

  // The answer must come from the event loop, never from inside the call.
  insideCall = true;
  verifier->verifyDataAtPath(data, signature);
  insideCall = false;
  if (!synchronous) app.run();

  const std::size_t crlFiles = downloader.cleanupPaths().size();
  downloader.cleanupTempFiles();
  std::printf("notifications=%d\nvalid=%d\nerror=%s\nsender=%d\npending=%zu\nsynchronous=%d\ncrlFiles=%zu\n",
              notifications, valid ? 1 : 0, error.c_str(), fromVerifier ? 1 : 0,
              platform::NotificationQueue::defaultQueue().pendingCount(), synchronous ? 1 : 0,
              crlFiles);
  return 0;
}
