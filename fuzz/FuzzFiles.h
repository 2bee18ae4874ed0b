// Files for the fuzz targets whose code under test reads a path: one private
// folder per fuzzing process, made on first use under TMPDIR (else /tmp) with
// mode 0700 and removed when the process exits normally, and a writer that
// replaces a file in it with one input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

namespace fuzz {

// The folder's path (no trailing slash). Aborts when no folder can be made:
// a target that cannot write its input would otherwise test nothing.
inline const std::string& privateDir() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    static const std::string removeAtExit = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(removeAtExit, ignored);
    });
    return pattern;
  }();
  return dir;
}

// privateDir()/name.
inline std::string pathIn(const std::string& name) { return privateDir() + "/" + name; }

// Replaces the file at `path` with the `size` bytes at `bytes` (none: an
// empty file). Aborts when the file cannot be written.
inline void writeFile(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(bytes, 1, size, f) != size) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

}  // namespace fuzz
