// The private network: the test process and its sandboxes share one network
// namespace that has only loopback. Servers of the test are reachable from
// inside under the demo host names, over plain TCP and over TLS trusted
// through the emulated certificate store; a server inside is reachable from
// the test and from other sandboxes; the host's network is not.
#include <httplib.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EmulatedMac.h"
#include "FixtureTree.h"

namespace fs = std::filesystem;
using harness::EmulatedMac;
using harness::RunResult;
using ::testing::HasSubstr;

namespace {

class PrivateNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override { VANTOR_REQUIRE_PRIVATE_NETWORK(); }
};

int listenOnLoopback(int port = 0) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, 8) != 0) {
    close(s);
    return -1;
  }
  return s;
}

int portOf(int s) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  return ntohs(addr.sin_port);
}

TEST_F(PrivateNetworkTest, OnlyLoopbackExists) {
  std::vector<std::string> names;
  struct if_nameindex* list = if_nameindex();
  ASSERT_NE(list, nullptr);
  for (struct if_nameindex* i = list; i->if_index != 0; ++i) names.push_back(i->if_name);
  if_freenameindex(list);
  EXPECT_EQ(names, std::vector<std::string>{"lo"});

  // An address outside is unreachable at once, from the test and from inside.
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(80);
  inet_pton(AF_INET, "192.0.2.1", &addr.sin_addr);
  EXPECT_NE(connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  EXPECT_EQ(errno, ENETUNREACH);
  close(s);

  EmulatedMac mac;
  const RunResult r = mac.run({"/bin/bash", "-c", "echo > /dev/tcp/192.0.2.1/80"});
  EXPECT_NE(r.exitCode, 0) << r.describe();
  EXPECT_THAT(r.err, HasSubstr("unreachable"));
  // Entering again is harmless.
  EXPECT_FALSE(EmulatedMac::enterPrivateNetwork().has_value());
}

TEST_F(PrivateNetworkTest, ATestsSocketAnswersUnderTheDemoHostNames) {
  const int listener = listenOnLoopback();
  ASSERT_GE(listener, 0);
  const int port = portOf(listener);
  std::thread server([listener] {
    for (int n = 0; n < 3; ++n) {
      const int c = accept(listener, nullptr, nullptr);
      if (c < 0) return;
      char buf[256];
      const ssize_t got = read(c, buf, sizeof buf);
      const std::string reply = "pong " + std::string(buf, got > 0 ? std::size_t(got) : 0);
      (void)!write(c, reply.data(), reply.size());
      close(c);
    }
  });

  EmulatedMac mac;
  // With AI_ADDRCONFIG too, as Qt looks names up.
  const RunResult lookup = mac.run({"/usr/bin/getent", "ahostsv4", "crl.vantor.test"});
  EXPECT_EQ(lookup.exitCode, 0) << lookup.describe();
  for (const char* host : {"download.vantor.test", "crl.vantor.test", "localhost"}) {
    SCOPED_TRACE(host);
    const RunResult r = mac.run(
        {"/bin/bash", "-c",
         "exec 3<>/dev/tcp/" + std::string(host) + "/" + std::to_string(port) +
             " && printf ping >&3 && cat <&3"});
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.out, "pong ping");
  }
  shutdown(listener, SHUT_RDWR);
  close(listener);
  server.join();
}

TEST_F(PrivateNetworkTest, HttpsOfTheTestIsTrustedThroughTheEmulatedStore) {
  EmulatedMac mac;
  const std::string pki = mac.scratch() + "/pki";
  fs::create_directories(pki);
  // A test authority and a server certificate for the demo download host.
  const std::string script =
      "cd " + pki + " && "
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Test TLS CA' "
      "-keyout ca.key -out ca.pem && "
      "openssl req -newkey rsa:2048 -nodes -subj '/CN=download.vantor.test' "
      "-keyout server.key -out server.csr && "
      "printf 'subjectAltName=DNS:download.vantor.test\\n' > ext && "
      "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
      "-extfile ext -out server.pem";
  ASSERT_EQ(std::system(("(" + script + ") >/dev/null 2>&1").c_str()), 0);

  httplib::SSLServer server((pki + "/server.pem").c_str(), (pki + "/server.key").c_str());
  server.Get("/hello", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("hello from the test", "text/plain");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread thread([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  const std::string url = "https://download.vantor.test:" + std::to_string(port) + "/hello";
  // Not trusted yet: the host's authorities are not in the store.
  RunResult r = mac.run({"/usr/bin/curl", "-sS", url});
  EXPECT_NE(r.exitCode, 0) << r.describe();

  mac.trustCertificate(pki + "/ca.pem");
  r = mac.run({"/usr/bin/curl", "-sS", url});
  EXPECT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_EQ(r.out, "hello from the test");
  // The hashed directory alone is enough (that is what Qt reads).
  r = mac.run({"/bin/sh", "-c",
               "openssl s_client -connect download.vantor.test:" + std::to_string(port) +
                   " -servername download.vantor.test -verify_return_error -no-CAfile "
                   "-CApath /etc/ssl/certs </dev/null"});
  EXPECT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_THAT(r.out, HasSubstr("Verify return code: 0 (ok)"));

  server.stop();
  thread.join();
}

TEST_F(PrivateNetworkTest, AServerInsideIsReachableFromTheTestAndFromOtherSandboxes) {
  EmulatedMac mac;
  harness::writeFile(mac.tmp() + "/www/index.txt", "served from inside\n");
  // Find a free port, then hand it to the server inside.
  const int probe = listenOnLoopback();
  const int port = portOf(probe);
  close(probe);
  auto server = mac.startBackground({"/usr/bin/python3", "-m", "http.server", "--bind",
                                     "127.0.0.1", "--directory", "/tmp/www",
                                     std::to_string(port)});
  httplib::Client client("127.0.0.1", port);
  int status = 0;
  std::string body;
  for (int i = 0; i < 200 && status == 0; ++i) {
    if (auto res = client.Get("/index.txt")) {
      status = res->status;
      body = res->body;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  EXPECT_EQ(status, 200) << server->errSoFar();
  EXPECT_EQ(body, "served from inside\n");

  const RunResult r = mac.run(
      {"/usr/bin/curl", "-sS", "http://www.vantor.test:" + std::to_string(port) + "/index.txt"});
  EXPECT_EQ(r.exitCode, 0) << r.describe();
  EXPECT_EQ(r.out, "served from inside\n");

  const RunResult stopped = server->stop();
  EXPECT_FALSE(stopped.timedOut) << stopped.describe();
}

}  // namespace
