// vantor-download-probe: runs one list through the Downloader the way the
// bootstrapper does (the application object, the progress window of the main
// interface, the done notification awaited on the event loop) and reports
// what came out, so tests can run it inside the emulated Mac and read the
// real system log it wrote, or on an X server and press its Cancel button.
//
//   vantor-download-probe [options] NOTIFICATION-NAME URL...
//     --silent                 setSilent(true)
//     --ignore-failures        setIgnoreFailures(true)
//     --window TITLE           load the progress window, titled TITLE
//     --ca PEM                 trust this authority too (runs outside the
//                              emulated Mac)
//     --cancel-after-bytes N   press Cancel once N bytes have arrived
//     --wait-seconds S         give up after S seconds (default 60)
//     --linger-seconds S       after the notification, how long to go on
//                              watching for a second one (default 0.3; the
//                              benchmark gives 0, it times the transfer)
//
// Standard output, one "key=value" line each, after the list ended:
//   success=<0|1>  files=<paths, comma-separated>  error=<domain code or none>
//   index=<currentUrlIndex>  notifications=<number delivered>
//   seconds=<from startDownload to the first notification>
// Exit status 0 when the list ended, 1 when it did not in time, 2 on a usage
// error.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Downloader.h"
#include "ProgressWindow.h"
#include "platform/application.h"
#include "platform/notification.h"
#include "platform/run_loop.h"

namespace {

class ProbeDownloader : public Downloader {
 public:
  using Downloader::Downloader;
  std::int64_t cancelAfterBytes = -1;
  void didReceiveDataOfLength(platform::UrlDownload& d, std::uint64_t n) override {
    Downloader::didReceiveDataOfLength(d, n);
    if (cancelAfterBytes >= 0 && bytesReceived() >= cancelAfterBytes) {
      cancelAfterBytes = -1;
      stopDownLoad(this);
    }
  }
};

std::string readFile(const char* path) {
  std::string s;
  if (FILE* f = std::fopen(path, "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
  }
  return s;
}

int usage() {
  std::fprintf(stderr,
               "usage: vantor-download-probe [--silent] [--ignore-failures] [--window TITLE] [--ca PEM]\n"
               "                             [--cancel-after-bytes N] [--wait-seconds S] [--linger-seconds S]\n"
               "                             NAME URL...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool silent = false, ignore = false, window = false;
  std::string title, ca;
  long long cancelAfter = -1;
  double waitSeconds = 60;
  double lingerSeconds = 0.3;
  int i = 1;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
    const std::string a = argv[i];
    if (a == "--silent") silent = true;
    else if (a == "--ignore-failures") ignore = true;
    else if (a == "--window" && i + 1 < argc) window = true, title = argv[++i];
    else if (a == "--ca" && i + 1 < argc) ca = argv[++i];
    else if (a == "--cancel-after-bytes" && i + 1 < argc) cancelAfter = std::atoll(argv[++i]);
    else if (a == "--wait-seconds" && i + 1 < argc) waitSeconds = std::atof(argv[++i]);
    else if (a == "--linger-seconds" && i + 1 < argc) lingerSeconds = std::atof(argv[++i]);
    else return usage();
  }
  if (argc - i < 2) return usage();
  const std::string name = argv[i++];
  auto urls = std::make_shared<std::vector<std::string>>(argv + i, argv + argc);

  platform::Application::sharedApplication();
  std::shared_ptr<platform::UrlDownloadService> service;
  if (!ca.empty()) service = platform::UrlDownloadService::create({{readFile(ca.c_str())}, 16});
  ProbeDownloader downloader(service);
  downloader.cancelAfterBytes = cancelAfter;
  std::unique_ptr<ProgressWindowController> progress;
  if (window) progress = ProgressWindowController::connect(downloader, [title] { return title; });

  int delivered = 0;
  bool success = false;
  std::chrono::steady_clock::time_point started, notified;
  std::vector<std::string> files;
  platform::NotificationCenter::defaultCenter().addObserver(
      &downloader, name, &downloader, [&](const platform::Notification& n) {
        if (++delivered == 1) notified = std::chrono::steady_clock::now();
        if (const bool* s = n.get<bool>(DownloaderKeySuccess)) success = *s;
        if (const auto* f = n.get<platform::SharedStringList>(DownloaderKeyFiles))
          if (*f) files = **f;
      });

  downloader.setUrlStrings(urls);
  downloader.setSilent(silent);
  downloader.setIgnoreFailures(ignore);
  downloader.setLocalizedCancel("Cancel");
  downloader.setLocalizedPleaseWait("Please wait...");
  started = std::chrono::steady_clock::now();
  downloader.startDownload(name);
  const bool ended = platform::runLoopUntil([&] { return delivered > 0; }, waitSeconds);
  // A second notification must not come; give it the chance.
  if (lingerSeconds > 0) platform::runLoopFor(lingerSeconds);

  std::string joined;
  for (const auto& f : files) joined += (joined.empty() ? "" : ",") + f;
  std::printf("success=%d\nfiles=%s\n", success ? 1 : 0, joined.c_str());
  if (downloader.lastError())
    std::printf("error=%s %d\n", downloader.lastError()->domain.c_str(), downloader.lastError()->code);
  else
    std::printf("error=none\n");
  std::printf("index=%d\nnotifications=%d\n", downloader.currentUrlIndex(), delivered);
  if (delivered > 0)
    std::printf("seconds=%.6f\n", std::chrono::duration<double>(notified - started).count());
  std::fflush(stdout);
  platform::NotificationCenter::defaultCenter().removeObserver(&downloader);
  downloader.cleanupTempFiles();
  return ended ? 0 : 1;
}
