// A download server for tests and the demo: serves files from a folder over
// HTTPS (the demo TLS authority's server certificate) or plain HTTP, and,
// under path prefixes, every way a download can go wrong. One server answers
// all modes at once; the mode is part of the address:
//
//   /<path>                     the file <root>/<path> (GET and HEAD); 404
//                               when it does not exist
//   /status/<code>/<path>       answers <code> (404, 410, 500, ...) with a
//                               short text body
//   /redirect/<n>/<path>        302 to /redirect/<n-1>/<path>, the last hop to
//                               /<path>: a chain of n redirects
//   /redirect-to/<url>          302 to the given absolute address (the rest of
//                               the path, query kept)
//   /chunked/<path>             the file without a length (chunked)
//   /stall/<path>               the length and the first 1024 bytes, then
//                               nothing until the server stops
//   /slow/<path>                the file in pieces of slowPieceBytes every
//                               slowPieceDelayMs (for cancelling midway)
//   /gzip/<path>[?type=T]       the file gzip-compressed, as type T
//                               (default application/x-gzip)
//   /length/<delta>/<path>      announces the file's length plus <delta>
//                               ("+100" or "-100"): with more announced, the
//                               connection closes after the real body; with
//                               less, the whole body is sent anyway
//   /drop/<bytes>/<path>        the full length announced, <bytes> sent, then
//                               the connection is dropped
//   /generated/<bytes>[/name]   <bytes> of generated data, no file needed
//                               (benchmarks): a pseudo-random 1 MiB pattern,
//                               repeated; the name is the last component
//   /disposition/<path>?name=N  the file with a Content-Disposition header
//                               naming N (as given, quotes around it)
//   /silent/<path>              reads the request and never answers, not even
//                               a status line, until the server stops (a
//                               server that hangs)
//   /redirect-loop/<path>       302 to this very address, forever
//   /huge-header/<bytes>/<path> the file after a response header of about
//                               <bytes> (one field "X-Vantor-Padding" of that
//                               length), far beyond what a client should take
//
// Aliases (DownloadServerOptions::aliases) answer a fixed address with one
// of the modes, for clients whose addresses are built in: aliasing
// "/vantor/3/nai/macos10.9/x86/installer" to
// "/drop/4096/vantor/3/nai/macos10.9/x86/installer" makes the installer's own
// address break off after 4 KiB. Only the path is looked up; the query is
// kept.
//
// Content types by extension: .p7 application/pkcs7-signature, .crl
// application/pkix-crl, .gz application/gzip, .txt text/plain, everything
// else application/octet-stream.
//
// Every request is logged (method, path with query, a few headers); the log
// can be read while the server runs. Thread-safe: the server answers on its
// own threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantor::testing {

struct LoggedRequest;

struct DownloadServerOptions {
  std::string root;              // folder of the served files
  bool tls = true;               // HTTPS (true) or plain HTTP
  std::string certificateChain;  // PEM path; empty: the demo server chain
  std::string privateKey;        // PEM path; empty: the demo server key
  std::string host = "127.0.0.1";
  int port = 0;                  // 0: any free port
  std::size_t slowPieceBytes = 4096;
  int slowPieceDelayMs = 50;
  // Request path -> the path (a mode's address) answered in its place.
  std::map<std::string, std::string> aliases;
  // Called on the server's threads for every request, after it was logged.
  std::function<void(const LoggedRequest&)> onRequest;
};

struct LoggedRequest {
  std::string method;
  std::string target;          // path and query as sent
  std::string host;            // the Host header
  std::string acceptEncoding;  // the Accept-Encoding header, empty when absent
  std::string userAgent;
};

class DownloadServer {
 public:
  // Binds and starts answering at once. Check ok() (false when the port
  // could not be bound or the certificate not loaded).
  explicit DownloadServer(DownloadServerOptions options);
  // Stops answering and waits for the server's threads; stalled and slow
  // bodies end at once.
  ~DownloadServer();
  DownloadServer(const DownloadServer&) = delete;
  DownloadServer& operator=(const DownloadServer&) = delete;

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  // "https://127.0.0.1:<port>" (or http://); `host` replaces the address, for
  // names the certificate carries ("localhost", "download.vantor.test").
  std::string baseUrl(const std::string& host = "") const;
  // baseUrl() + path (path starts with "/").
  std::string url(const std::string& path, const std::string& host = "") const;

  std::vector<LoggedRequest> requests() const;
  void clearRequests();
  // Requests whose target starts with `prefix`.
  std::size_t countRequests(const std::string& prefix) const;

  // The demo TLS files of the checkout (absolute paths, fixed at build time).
  static std::string demoCaCertificatePath();
  static std::string demoOtherCaCertificatePath();
  static std::string demoServerChainPath();
  static std::string demoServerKeyPath();
  // The text of a file (empty when unreadable); handy for trust anchors.
  static std::string readFile(const std::string& path);

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

// A small forwarding proxy on loopback: CONNECT host:port tunnels (https) and
// absolute-form requests (http). Logs every target it was asked for.
class ConnectProxy {
 public:
  ConnectProxy();
  ~ConnectProxy();
  ConnectProxy(const ConnectProxy&) = delete;
  ConnectProxy& operator=(const ConnectProxy&) = delete;

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>", the value for https_proxy / http_proxy.
  std::string proxyUrl() const;
  // "CONNECT host:port" or "GET http://..." for each request seen.
  std::vector<std::string> requests() const;

 private:
  void acceptLoop();
  void serve(int client);
  void handleClient(int client);
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::thread> workers_;
  std::vector<int> openFds_;
};

}  // namespace vantor::testing
