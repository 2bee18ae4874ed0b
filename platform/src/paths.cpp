#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

// The domains' roots, in the order the platform lists them.
struct DomainRoot {
  unsigned mask;
  const char* library;  // the domain's Library folder; null for the user
};
constexpr DomainRoot kDomains[] = {
    {UserDomainMask, nullptr},
    {LocalDomainMask, "/Library"},
    {NetworkDomainMask, "/Network/Library"},
    {SystemDomainMask, "/System/Library"},
};

bool isUsablePrivateDirectory(const std::string& path) {
  struct stat st {};
  // lstat: a link planted at the name must be refused, not followed.
  if (lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return false;
  if (st.st_uid != geteuid()) return false;
  // Readable, writable and searchable by us and by nobody else.
  return (st.st_mode & 0777) == 0700;
}

}  // namespace

std::vector<std::string> searchPathsForDirectoriesInDomains(SearchPathDirectory directory,
                                                            unsigned mask, bool expandTilde) {
  std::vector<std::string> out;
  for (const auto& domain : kDomains) {
    if ((mask & domain.mask) == 0) continue;
    std::string library;
    if (domain.library) {
      library = domain.library;
    } else {
      library = appendPathComponent(expandTilde ? homeDirectory() : std::string("~"), "Library");
    }
    switch (directory) {
      case SearchPathDirectory::Library:
        out.push_back(library);
        break;
      case SearchPathDirectory::ApplicationSupport:
        out.push_back(appendPathComponent(library, "Application Support"));
        break;
      case SearchPathDirectory::CoreServices:
        if (domain.mask == SystemDomainMask) out.push_back(appendPathComponent(library, "CoreServices"));
        break;
    }
  }
  return out;
}

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  while (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &found) == ERANGE)
    buffer.resize(buffer.size() * 2);
  if (found && found->pw_dir && *found->pw_dir) return found->pw_dir;
  return "/";
}

std::string temporaryDirectory() {
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
    struct stat st {};
    if (stat(tmp, &st) == 0 && S_ISDIR(st.st_mode)) {
      std::string dir = tmp;
      if (dir.back() != '/') dir += '/';
      return dir;
    }
  }
  // A shared /tmp is open to every user; the platform gives each user a
  // private folder instead, so make one and refuse anything another user
  // could have prepared under the name.
  const std::string dir = "/tmp/vantor-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) == 0) {
    // Ours and new: give it exactly 0700 whatever the umask took away.
    chmod(dir.c_str(), 0700);
  } else if (errno != EEXIST) {
    return "";
  }
  if (!isUsablePrivateDirectory(dir)) return "";
  return dir + "/";
}

std::string appendPathComponent(const std::string& base, const std::string& component) {
  if (base.empty()) return component;
  if (component.empty()) return base;
  std::string out = base;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  std::size_t start = 0;
  while (start < component.size() && component[start] == '/') ++start;
  if (out.back() != '/') out += '/';
  out.append(component, start, std::string::npos);
  return out;
}

std::string lastPathComponent(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  if (end == 1 && path[0] == '/') return "/";
  const std::size_t slash = path.rfind('/', end - 1);
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(start, end - start);
}

std::string deletingLastPathComponent(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  if (end == 0) return "";
  if (end == 1 && path[0] == '/') return "/";
  std::size_t slash = path.rfind('/', end - 1);
  if (slash == std::string::npos) return "";
  while (slash > 0 && path[slash - 1] == '/') --slash;
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string resolvingSymlinksInPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (path.empty() || !realpath(path.c_str(), resolved)) return path;
  return resolved;
}

}  // namespace platform
