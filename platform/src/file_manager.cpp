#include "platform/file_manager.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

bool fileExistsAtPath(const std::string& path, bool* isDirectory) {
  struct stat st {};
  // stat follows links: a dangling link is not an existing item.
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
  return true;
}

std::optional<std::uint32_t> posixPermissionsOfItemAtPath(const std::string& path) {
  struct stat st {};
  if (path.empty() || lstat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint32_t>(st.st_mode & 07777);
}

bool setPosixPermissionsOfItemAtPath(std::uint32_t permissions, const std::string& path) {
  return !path.empty() && chmod(path.c_str(), static_cast<mode_t>(permissions & 07777)) == 0;
}

namespace {

int removeEntry(const char* path, const struct stat*, int type, struct FTW*) {
  // FTW_DP: a directory whose contents are gone already (depth-first).
  const int rc = type == FTW_DP ? rmdir(path) : unlink(path);
  return rc == 0 ? 0 : 1;
}

}  // namespace

bool removeItemAtPath(const std::string& path) {
  struct stat st {};
  if (path.empty() || lstat(path.c_str(), &st) != 0) return false;
  // A link is removed itself, never what it points to.
  if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0;
  // FTW_PHYS: links inside the tree are not followed out of it.
  return nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace platform
