// The demo download server: serves a folder over HTTPS (and, when asked,
// plain HTTP) with the failure modes of DownloadServer.h, and prints one line
// per request on standard output.
//
//   vantor-download-server --root DIR [--port 8443] [--http-port N]
//                          [--host 127.0.0.1] [--cert CHAIN.pem --key KEY.pem]
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>

#include "DownloadServer.h"

namespace {
volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }

int usage() {
  std::fprintf(stderr,
               "usage: vantor-download-server --root DIR [--port 8443] [--http-port N]\n"
               "                              [--host 127.0.0.1] [--cert CHAIN.pem --key KEY.pem]\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  vantor::testing::DownloadServerOptions https;
  https.port = 8443;
  int httpPort = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--root" && (v = next())) https.root = v;
    else if (a == "--port" && (v = next())) https.port = std::atoi(v);
    else if (a == "--http-port" && (v = next())) httpPort = std::atoi(v);
    else if (a == "--host" && (v = next())) https.host = v;
    else if (a == "--cert" && (v = next())) https.certificateChain = v;
    else if (a == "--key" && (v = next())) https.privateKey = v;
    else return usage();
  }
  if (https.root.empty()) return usage();

  static std::mutex outMutex;
  https.onRequest = [](const vantor::testing::LoggedRequest& r) {
    std::lock_guard<std::mutex> lock(outMutex);
    std::printf("%s %s (Host: %s)\n", r.method.c_str(), r.target.c_str(), r.host.c_str());
    std::fflush(stdout);
  };
  vantor::testing::DownloadServer secure(https);
  if (!secure.ok()) {
    std::fprintf(stderr, "vantor-download-server: cannot listen on %s:%d\n", https.host.c_str(),
                 https.port);
    return 1;
  }
  std::printf("listening on %s\n", secure.baseUrl().c_str());
  std::unique_ptr<vantor::testing::DownloadServer> plain;
  if (httpPort >= 0) {
    auto options = https;
    options.tls = false;
    options.port = httpPort;
    plain = std::make_unique<vantor::testing::DownloadServer>(options);
    if (!plain->ok()) {
      std::fprintf(stderr, "vantor-download-server: cannot listen on %s:%d\n", https.host.c_str(),
                   httpPort);
      return 1;
    }
    std::printf("listening on %s\n", plain->baseUrl().c_str());
  }
  std::fflush(stdout);
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  while (!gStop) pause();
  return 0;
}
