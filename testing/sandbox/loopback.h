// Loopback set-up shared by the harness's private network and the sandbox's
// first process.
#pragma once

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace harness {

// glibc's getaddrinfo with AI_ADDRCONFIG (which Qt's host lookup uses)
// returns no IPv4 address at all while 127.0.0.1 is the only one configured,
// so the demo host names would not resolve on a loopback-only network. A
// second loopback address, 127.0.0.2 on "lo:1", counts as configured.
// Returns whether it was added (it needs CAP_NET_ADMIN in the namespace).
inline bool addLoopbackAlias() {
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  ifreq ifr{};
  std::snprintf(ifr.ifr_name, IFNAMSIZ, "lo:1");
  auto* sin = reinterpret_cast<sockaddr_in*>(&ifr.ifr_addr);
  sin->sin_family = AF_INET;
  inet_pton(AF_INET, "127.0.0.2", &sin->sin_addr);
  bool ok = ioctl(s, SIOCSIFADDR, &ifr) == 0;
  if (ok) {
    inet_pton(AF_INET, "255.0.0.0", &sin->sin_addr);
    ok = ioctl(s, SIOCSIFNETMASK, &ifr) == 0;
  }
  close(s);
  return ok;
}

}  // namespace harness
