#include "DownloadServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <sstream>

#ifndef VANTOR_DEMO_PKI_DIR
#error "VANTOR_DEMO_PKI_DIR must name the demo-pki folder"
#endif

namespace vantor::testing {
namespace {

std::string contentTypeFor(const std::string& path) {
  auto endsWith = [&](const char* ext) {
    const std::size_t n = std::strlen(ext);
    return path.size() >= n && path.compare(path.size() - n, n, ext) == 0;
  };
  if (endsWith(".p7")) return "application/pkcs7-signature";
  if (endsWith(".crl")) return "application/pkix-crl";
  if (endsWith(".gz")) return "application/gzip";
  if (endsWith(".txt")) return "text/plain";
  return "application/octet-stream";
}

std::string gzipData(const std::string& data) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out;
  out.resize(deflateBound(&zs, data.size()) + 64);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// The bytes of /generated: a pseudo-random pattern made once and repeated,
// so serving a benchmark's gigabyte costs the server only TLS and sockets.
// Making each byte afresh took half the server's CPU time, time the client
// under test then lacked on a machine with few cores. kGeneratedPiece extra
// bytes at the end let a piece start anywhere within one period.
constexpr std::size_t kGeneratedPeriod = 1024 * 1024;
constexpr std::size_t kGeneratedPiece = 64 * 1024;

const char* generatedPattern() {
  static const std::string pattern = [] {
    std::string p(kGeneratedPeriod + kGeneratedPiece, '\0');
    for (std::size_t i = 0; i < p.size(); ++i) {
      std::uint64_t x = i % kGeneratedPeriod;
      x ^= x >> 7;
      x *= 0x9E3779B97F4A7C15ull;
      p[i] = static_cast<char>(x >> 56);
    }
    return p;
  }();
  return pattern.data();
}

// Splits "/a/b/c" after the first `n` components: {"a","b"} and "c".
bool splitPrefix(const std::string& path, std::size_t n, std::vector<std::string>& head,
                 std::string& rest) {
  std::size_t pos = 1;
  head.clear();
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) {
      head.push_back(path.substr(pos));
      rest.clear();
      return i + 1 == n;
    }
    head.push_back(path.substr(pos, slash - pos));
    pos = slash + 1;
  }
  rest = path.substr(pos);
  return true;
}

}  // namespace

class DownloadServer::Impl {
 public:
  explicit Impl(DownloadServerOptions o) : options(std::move(o)) {
    if (options.tls) {
      const std::string chain =
          options.certificateChain.empty() ? demoServerChainPath() : options.certificateChain;
      const std::string key = options.privateKey.empty() ? demoServerKeyPath() : options.privateKey;
      server = std::make_unique<httplib::SSLServer>(chain.c_str(), key.c_str());
    } else {
      server = std::make_unique<httplib::Server>();
    }
    server->set_keep_alive_max_count(100);
    // Short, so stopping the server does not wait long for idle clients.
    server->set_keep_alive_timeout(1);
    server->set_read_timeout(10, 0);
    server->set_write_timeout(10, 0);
    auto handler = [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); };
    server->Get(R"(/.*)", handler);
  }

  bool start() {
    if (!server->is_valid()) return false;
    port = options.port > 0 ? (server->bind_to_port(options.host, options.port) ? options.port : -1)
                            : server->bind_to_any_port(options.host);
    if (port <= 0) return false;
    thread = std::thread([this] { server->listen_after_bind(); });
    for (int i = 0; i < 500 && !server->is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return true;
  }

  void stop() {
    {
      std::lock_guard<std::mutex> lock(stopMutex);
      stopping = true;
    }
    stopCv.notify_all();
    if (server) server->stop();
    if (thread.joinable()) thread.join();
  }

  // Waits up to `ms` or until the server stops; false when stopping.
  bool pause(int ms) {
    std::unique_lock<std::mutex> lock(stopMutex);
    return !stopCv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
  }

  void log(const httplib::Request& req) {
    LoggedRequest r;
    r.method = req.method;
    r.target = req.target.empty() ? req.path : req.target;
    r.host = req.get_header_value("Host");
    r.acceptEncoding = req.get_header_value("Accept-Encoding");
    r.userAgent = req.get_header_value("User-Agent");
    if (options.onRequest) options.onRequest(r);
    std::lock_guard<std::mutex> lock(logMutex);
    logged.push_back(std::move(r));
  }

  bool readRootFile(const std::string& relative, std::string& out) {
    if (relative.empty() || relative.find("..") != std::string::npos) return false;
    const std::string path = options.root + "/" + relative;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
  }

  void notFound(httplib::Response& res) {
    res.status = 404;
    res.set_content("not found\n", "text/plain");
  }

  void handle(const httplib::Request& req, httplib::Response& res) {
    log(req);
    const auto alias = options.aliases.find(req.path);
    const std::string& path = alias != options.aliases.end() ? alias->second : req.path;
    std::vector<std::string> head;
    std::string rest;
    auto starts = [&](const char* prefix) { return path.rfind(prefix, 0) == 0; };

    if (starts("/status/") && splitPrefix(path, 2, head, rest)) {
      res.status = std::atoi(head[1].c_str());
      if (res.status < 100 || res.status > 599) res.status = 500;
      res.set_content("status " + head[1] + "\n", "text/plain");
      return;
    }
    if (starts("/redirect-loop/")) {
      res.set_redirect(path + (req.target.find('?') != std::string::npos ? req.target.substr(req.target.find('?'))
                                                                          : std::string()),
                       302);
      return;
    }
    if (starts("/silent/")) {
      // Holds the connection without a byte of answer; the client's own
      // timeout has to end it.
      while (pause(50)) {
      }
      res.status = 503;
      return;
    }
    if (starts("/redirect-to/")) {
      std::string target = req.target.substr(std::strlen("/redirect-to/"));
      res.set_redirect(httplib::detail::decode_url(target, false), 302);
      return;
    }
    if (starts("/redirect/") && splitPrefix(path, 2, head, rest)) {
      const int n = std::atoi(head[1].c_str());
      std::string query = req.target.find('?') != std::string::npos
                              ? req.target.substr(req.target.find('?'))
                              : std::string();
      if (n <= 1)
        res.set_redirect("/" + rest + query, 302);
      else
        res.set_redirect("/redirect/" + std::to_string(n - 1) + "/" + rest + query, 302);
      return;
    }
    if (starts("/generated/") && splitPrefix(path, 2, head, rest)) {
      const std::uint64_t total = std::strtoull(head[1].c_str(), nullptr, 10);
      const char* pattern = generatedPattern();
      res.set_content_provider(
          static_cast<std::size_t>(total), "application/octet-stream",
          [pattern](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            return sink.write(pattern + offset % kGeneratedPeriod, std::min(length, kGeneratedPiece));
          });
      return;
    }

    std::string data;
    std::string file;
    std::size_t prefixParts = 0;
    if (starts("/chunked/") || starts("/stall/") || starts("/slow/") || starts("/gzip/") ||
        starts("/disposition/"))
      prefixParts = 1;
    else if (starts("/length/") || starts("/drop/") || starts("/huge-header/"))
      prefixParts = 2;
    if (prefixParts > 0) {
      if (!splitPrefix(path, prefixParts, head, file)) return notFound(res);
    } else {
      file = path.substr(1);
    }
    if (!readRootFile(file, data)) return notFound(res);
    auto shared = std::make_shared<std::string>(std::move(data));
    const std::string type = contentTypeFor(file);

    if (prefixParts == 0) {
      res.set_content(*shared, type);
      return;
    }
    const std::string& mode = head[0];
    if (mode == "chunked") {
      res.set_chunked_content_provider(
          type, [shared](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= shared->size()) {
              sink.done();
              return true;
            }
            const std::size_t n = std::min<std::size_t>(16 * 1024, shared->size() - offset);
            return sink.write(shared->data() + offset, n);
          });
    } else if (mode == "stall") {
      res.set_content_provider(
          shared->size(), type, [this, shared](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset == 0) {
              const std::size_t n = std::min<std::size_t>(1024, shared->size());
              return sink.write(shared->data(), n);
            }
            while (pause(50)) {
            }
            return false;
          });
    } else if (mode == "slow") {
      res.set_content_provider(
          shared->size(), type,
          [this, shared](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (offset > 0 && !pause(options.slowPieceDelayMs)) return false;
            const std::size_t n = std::min(length, options.slowPieceBytes);
            return sink.write(shared->data() + offset, n);
          });
    } else if (mode == "gzip") {
      auto packed = std::make_shared<std::string>(gzipData(*shared));
      const std::string t = req.has_param("type") ? req.get_param_value("type") : "application/x-gzip";
      res.set_content(*packed, t);
    } else if (mode == "length") {
      const long long delta = std::atoll(head[1].c_str());
      const long long announced = std::max<long long>(0, static_cast<long long>(shared->size()) + delta);
      res.set_content_provider(
          static_cast<std::size_t>(announced), type,
          [shared](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            // More announced than there is: the body ends early and the
            // connection closes. Less announced: everything goes out anyway.
            if (offset >= shared->size()) return false;
            return sink.write(shared->data() + offset, shared->size() - offset);
          });
    } else if (mode == "drop") {
      const std::size_t keep = std::min<std::size_t>(std::strtoull(head[1].c_str(), nullptr, 10),
                                                     shared->size());
      res.set_content_provider(shared->size(), type,
                               [shared, keep](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 if (offset >= keep) return false;
                                 return sink.write(shared->data() + offset, keep - offset);
                               });
    } else if (mode == "huge-header") {
      const std::size_t bytes = std::strtoull(head[1].c_str(), nullptr, 10);
      res.set_header("X-Vantor-Padding", std::string(bytes, 'p'));
      res.set_content(*shared, type);
    } else if (mode == "disposition") {
      res.set_header("Content-Disposition",
                     "attachment; filename=\"" + req.get_param_value("name") + "\"");
      res.set_content(*shared, type);
    } else {
      notFound(res);
    }
  }

  DownloadServerOptions options;
  std::unique_ptr<httplib::Server> server;
  std::thread thread;
  int port = 0;
  std::mutex stopMutex;
  std::condition_variable stopCv;
  bool stopping = false;
  mutable std::mutex logMutex;
  std::vector<LoggedRequest> logged;
};

DownloadServer::DownloadServer(DownloadServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {
  if (impl_->start()) port_ = impl_->port;
}

DownloadServer::~DownloadServer() { impl_->stop(); }

std::string DownloadServer::baseUrl(const std::string& host) const {
  return std::string(impl_->options.tls ? "https://" : "http://") +
         (host.empty() ? impl_->options.host : host) + ":" + std::to_string(port_);
}

std::string DownloadServer::url(const std::string& path, const std::string& host) const {
  return baseUrl(host) + path;
}

std::vector<LoggedRequest> DownloadServer::requests() const {
  std::lock_guard<std::mutex> lock(impl_->logMutex);
  return impl_->logged;
}

void DownloadServer::clearRequests() {
  std::lock_guard<std::mutex> lock(impl_->logMutex);
  impl_->logged.clear();
}

std::size_t DownloadServer::countRequests(const std::string& prefix) const {
  std::lock_guard<std::mutex> lock(impl_->logMutex);
  return static_cast<std::size_t>(std::count_if(
      impl_->logged.begin(), impl_->logged.end(),
      [&](const LoggedRequest& r) { return r.target.rfind(prefix, 0) == 0; }));
}

std::string DownloadServer::demoCaCertificatePath() {
  return VANTOR_DEMO_PKI_DIR "/DEMO-KEYS-tls-ca.cert.pem";
}
std::string DownloadServer::demoOtherCaCertificatePath() {
  return VANTOR_DEMO_PKI_DIR "/DEMO-KEYS-tls-other-ca.cert.pem";
}
std::string DownloadServer::demoServerChainPath() {
  return VANTOR_DEMO_PKI_DIR "/DEMO-KEYS-tls-server.chain.pem";
}
std::string DownloadServer::demoServerKeyPath() {
  return VANTOR_DEMO_PKI_DIR "/DEMO-KEYS-tls-server.key.pem";
}

std::string DownloadServer::readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// ---------------------------------------------------------------------------

namespace {

bool sendAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
    if (w <= 0) {
      if (w < 0 && errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

int connectTo(const std::string& host, const std::string& port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &res) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = res; a; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    ::close(fd);
    fd = -1;
  }
  freeaddrinfo(res);
  return fd;
}

// Copies both ways until one side closes.
void pump(int a, int b, const std::atomic<bool>& stopping) {
  char buffer[64 * 1024];
  pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
  while (!stopping) {
    const int rc = ::poll(fds, 2, 100);
    if (rc < 0 && errno != EINTR) return;
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      if (!sendAll(fds[1 - i].fd, buffer, static_cast<std::size_t>(n))) return;
    }
  }
}

}  // namespace

ConnectProxy::ConnectProxy() {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 16) != 0)
    return;
  socklen_t len = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

ConnectProxy::~ConnectProxy() {
  stopping_ = true;
  if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
  if (acceptThread_.joinable()) acceptThread_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  for (auto& t : workers_)
    if (t.joinable()) t.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

std::string ConnectProxy::proxyUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> ConnectProxy::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void ConnectProxy::acceptLoop() {
  while (!stopping_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    openFds_.push_back(client);
    workers_.emplace_back([this, client] { serve(client); });
  }
}

void ConnectProxy::serve(int client) {
  handleClient(client);
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase(openFds_, client);
  ::close(client);
}

void ConnectProxy::handleClient(int client) {
  // Read the request head.
  std::string head;
  char c;
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384) {
    const ssize_t n = ::recv(client, &c, 1, 0);
    if (n <= 0) return;
    head.push_back(c);
  }
  const std::string line = head.substr(0, head.find("\r\n"));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(line.substr(0, line.rfind(' ')));
  }
  std::istringstream ls(line);
  std::string method, target, version;
  ls >> method >> target >> version;
  if (method == "CONNECT") {
    const auto colon = target.rfind(':');
    const int upstream = connectTo(target.substr(0, colon), target.substr(colon + 1));
    if (upstream < 0) {
      const char* reply = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";
      sendAll(client, reply, std::strlen(reply));
      return;
    }
    const char* ok = "HTTP/1.1 200 Connection established\r\n\r\n";
    if (sendAll(client, ok, std::strlen(ok))) pump(client, upstream, stopping_);
    ::close(upstream);
    return;
  }
  // Absolute form: http://host[:port]/path
  if (target.rfind("http://", 0) != 0) return;
  const std::string rest = target.substr(7);
  const std::string authority = rest.substr(0, rest.find('/'));
  const std::string path = rest.find('/') == std::string::npos ? "/" : rest.substr(rest.find('/'));
  const auto colon = authority.rfind(':');
  const std::string host = colon == std::string::npos ? authority : authority.substr(0, colon);
  const std::string port = colon == std::string::npos ? "80" : authority.substr(colon + 1);
  const int upstream = connectTo(host, port);
  if (upstream < 0) return;
  const std::string forwarded = method + " " + path + " " + version + head.substr(line.size());
  if (sendAll(upstream, forwarded.data(), forwarded.size())) pump(client, upstream, stopping_);
  ::close(upstream);
}

}  // namespace vantor::testing
