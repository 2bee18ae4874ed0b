#include "proxy_environment.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform::detail {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Parses an IPv4 or IPv6 address (brackets allowed) into 16 bytes; IPv4 is
// kept as the first 4 bytes with family 4.
bool parseAddress(std::string text, int& family, unsigned char out[16]) {
  if (text.size() > 2 && text.front() == '[' && text.back() == ']')
    text = text.substr(1, text.size() - 2);
  std::memset(out, 0, 16);
  if (inet_pton(AF_INET, text.c_str(), out) == 1) {
    family = 4;
    return true;
  }
  if (inet_pton(AF_INET6, text.c_str(), out) == 1) {
    family = 6;
    return true;
  }
  return false;
}

bool inSubnet(const std::string& host, const std::string& entry) {
  const auto slash = entry.find('/');
  int hostFamily = 0, netFamily = 0;
  unsigned char h[16], n[16];
  if (!parseAddress(host, hostFamily, h)) return false;
  if (!parseAddress(entry.substr(0, slash), netFamily, n)) return false;
  if (hostFamily != netFamily) return false;
  const int maxBits = hostFamily == 4 ? 32 : 128;
  int bits = maxBits;
  if (slash != std::string::npos) {
    const std::string b = entry.substr(slash + 1);
    if (b.empty() || b.size() > 3 || !std::all_of(b.begin(), b.end(), ::isdigit)) return false;
    bits = std::stoi(b);
    if (bits > maxBits) return false;
  }
  for (int i = 0; i < bits; ++i) {
    const unsigned char mask = static_cast<unsigned char>(0x80 >> (i % 8));
    if ((h[i / 8] & mask) != (n[i / 8] & mask)) return false;
  }
  return true;
}

const char* firstSet(const EnvironmentLookup& lookup, const char* a, const char* b) {
  const char* v = lookup(a);
  if (v && *v) return v;
  v = lookup(b);
  return v && *v ? v : nullptr;
}

}  // namespace

bool hostMatchesNoProxy(const std::string& rawHost, int port, const std::string& list) {
  std::string host = lower(rawHost);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  while (!host.empty() && host.back() == '.') host.pop_back();
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    std::string entry = lower(trim(list.substr(start, comma - start)));
    start = comma + 1;
    if (entry.empty()) continue;
    if (entry == "*") return true;
    // A port suffix, but not the colons of an IPv6 address.
    int entryPort = -1;
    const auto colon = entry.rfind(':');
    const bool ipv6 = std::count(entry.begin(), entry.end(), ':') > 1 && entry.front() != '[';
    if (colon != std::string::npos && !ipv6) {
      const std::string p = entry.substr(colon + 1);
      if (!p.empty() && p.size() <= 5 && std::all_of(p.begin(), p.end(), ::isdigit)) {
        entryPort = std::stoi(p);
        entry = entry.substr(0, colon);
      }
    }
    if (entryPort >= 0 && entryPort != port) continue;
    if (entry.size() > 2 && entry.front() == '[' && entry.back() == ']')
      entry = entry.substr(1, entry.size() - 2);
    if (inSubnet(host, entry)) return true;
    while (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
    while (!entry.empty() && entry.back() == '.') entry.pop_back();
    if (entry.empty()) continue;
    if (host == entry) return true;
    if (host.size() > entry.size() && host.compare(host.size() - entry.size(), entry.size(), entry) == 0 &&
        host[host.size() - entry.size() - 1] == '.')
      return true;
  }
  return false;
}

std::optional<ProxySetting> proxyFromEnvironment(const std::string& rawScheme, const std::string& host,
                                                 int port, const EnvironmentLookup& lookup) {
  const std::string scheme = lower(rawScheme);
  const char* value = nullptr;
  if (scheme == "https")
    value = firstSet(lookup, "https_proxy", "HTTPS_PROXY");
  else if (scheme == "http")
    value = firstSet(lookup, "http_proxy", "HTTP_PROXY");
  if (!value) return std::nullopt;
  if (const char* noProxy = firstSet(lookup, "no_proxy", "NO_PROXY"))
    if (hostMatchesNoProxy(host, port, noProxy)) return std::nullopt;

  std::string text = trim(value);
  ProxySetting proxy;
  const auto sep = text.find("://");
  if (sep != std::string::npos) {
    const std::string proxyScheme = lower(text.substr(0, sep));
    if (proxyScheme == "socks5" || proxyScheme == "socks5h")
      proxy.kind = ProxySetting::Kind::Socks5;
    else if (proxyScheme != "http")
      return std::nullopt;
    text = text.substr(sep + 3);
  }
  text = text.substr(0, text.find('/'));
  if (const auto at = text.rfind('@'); at != std::string::npos) {
    const std::string userInfo = text.substr(0, at);
    text = text.substr(at + 1);
    const auto colon = userInfo.find(':');
    proxy.user = userInfo.substr(0, colon);
    if (colon != std::string::npos) proxy.password = userInfo.substr(colon + 1);
  }
  std::string hostPart = text;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos) return std::nullopt;
    hostPart = text.substr(1, close - 1);
    text = text.substr(close + 1);
    if (!text.empty() && text.front() != ':') return std::nullopt;
    text = text.empty() ? std::string() : text.substr(1);
    if (!text.empty()) {
      if (text.size() > 5 || !std::all_of(text.begin(), text.end(), ::isdigit)) return std::nullopt;
      proxy.port = std::stoi(text);
    }
  } else if (const auto colon = text.rfind(':'); colon != std::string::npos) {
    hostPart = text.substr(0, colon);
    const std::string p = text.substr(colon + 1);
    if (p.empty() || p.size() > 5 || !std::all_of(p.begin(), p.end(), ::isdigit)) return std::nullopt;
    proxy.port = std::stoi(p);
  }
  if (hostPart.empty() || proxy.port <= 0 || proxy.port > 65535) return std::nullopt;
  proxy.host = hostPart;
  return proxy;
}

}  // namespace platform::detail
