// A scratch folder for unit tests: created under /tmp with mkdtemp (not
// through the code under test) and removed with everything in it afterwards.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace platform::testing {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/vantor-test-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() {
    nftw(path_.c_str(),
         [](const char* p, const struct stat*, int type, struct FTW*) {
           return type == FTW_DP ? rmdir(p) : unlink(p);
         },
         16, FTW_DEPTH | FTW_PHYS);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

  // Creates `rel` and its parent folders.
  std::string mkdirs(const std::string& rel) const {
    std::string full = path_;
    std::size_t start = 0;
    while (start <= rel.size()) {
      std::size_t end = rel.find('/', start);
      if (end == std::string::npos) end = rel.size();
      full += "/" + rel.substr(start, end - start);
      ::mkdir(full.c_str(), 0755);
      start = end + 1;
    }
    return full;
  }

  // Writes `text` to `rel` (parents created), returns the full path.
  std::string write(const std::string& rel, const std::string& text, mode_t mode = 0644) const {
    const auto slash = rel.rfind('/');
    if (slash != std::string::npos) mkdirs(rel.substr(0, slash));
    const std::string full = path_ + "/" + rel;
    std::ofstream(full, std::ios::binary | std::ios::trunc) << text;
    ::chmod(full.c_str(), mode);
    return full;
  }

  std::string symlink(const std::string& target, const std::string& rel) const {
    const std::string full = path_ + "/" + rel;
    if (::symlink(target.c_str(), full.c_str()) != 0) throw std::runtime_error("symlink failed");
    return full;
  }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace platform::testing
