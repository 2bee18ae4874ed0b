// Proxy choice from the environment, the way command-line tools read it:
// https_proxy for https addresses, http_proxy for http ones (lower-case name
// first, then upper case), and no_proxy / NO_PROXY listing hosts that are
// reached directly. Kept free of Qt so the rules can be checked on their own.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform::detail {

struct ProxySetting {
  enum class Kind { Http, Socks5 } kind = Kind::Http;
  std::string host;
  int port = 1080;  // the usual default when the variable names none
  std::string user;
  std::string password;
};

// Reads a variable; null when unset.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The proxy for a request to `scheme`://`host`:`port`, or none for a direct
// connection: no variable for the scheme, an empty one, a proxy address that
// does not parse or names a scheme other than http or socks5(h), or a
// no_proxy entry matching the host.
//
// no_proxy: entries separated by commas (blanks around them ignored); "*"
// matches every host; "name" and ".name" match the host name itself and every
// name below it ("vantor.test" matches "download.vantor.test"); an IPv4 or
// IPv6 address matches itself, "a.b.c.d/n" a subnet; "entry:port" matches only
// that port. Comparison ignores case.
std::optional<ProxySetting> proxyFromEnvironment(const std::string& scheme, const std::string& host,
                                                 int port, const EnvironmentLookup& lookup);

// True when `host`:`port` is named by the no_proxy list `list`.
bool hostMatchesNoProxy(const std::string& host, int port, const std::string& list);

}  // namespace platform::detail
