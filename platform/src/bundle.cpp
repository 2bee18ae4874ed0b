// Bundle layout and the main bundle. The information dictionary is read in
// bundle_info.cpp, so that a program that never asks for it links no
// property-list reader.
#include <unistd.h>

#include <climits>
#include <mutex>

#include "platform/bundle.h"
#include "platform/file_manager.h"
#include "platform/paths.h"

namespace platform {
namespace {

bool isDirectoryAt(const std::string& path) {
  bool dir = false;
  return fileExistsAtPath(path, &dir) && dir;
}

bool hasSuffix(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

Bundle::Bundle(std::string path) : path_(withoutTrailingSlashes(std::move(path))) {
  // An app keeps everything under Contents; a framework (or one of its
  // Versions/<v> folders) keeps its resources, Info.plist included, in
  // Resources; anything else is a flat folder.
  if (isDirectoryAt(appendPathComponent(path_, "Contents")))
    layout_ = Layout::App;
  else if (hasSuffix(path_, ".framework") || isDirectoryAt(appendPathComponent(path_, "Resources")))
    layout_ = Layout::Framework;
  else
    layout_ = Layout::Flat;
}

std::shared_ptr<Bundle> Bundle::bundleWithPath(const std::string& path) {
  if (!isDirectoryAt(path)) return nullptr;
  return std::make_shared<Bundle>(path);
}

std::shared_ptr<Bundle> Bundle::mainBundle() {
  static std::shared_ptr<Bundle> main;
  static std::once_flag once;
  std::call_once(once, [] {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    const std::string exe = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    const std::string folder = exe.empty() ? std::string(".") : deletingLastPathComponent(exe);
    const std::string contents = deletingLastPathComponent(folder);
    if (lastPathComponent(folder) == "MacOS" && lastPathComponent(contents) == "Contents")
      main = std::make_shared<Bundle>(deletingLastPathComponent(contents));
    else
      main = std::make_shared<Bundle>(folder);
  });
  return main;
}

std::string Bundle::resourcePath() const {
  switch (layout_) {
    case Layout::App:
      return appendPathComponent(path_, "Contents/Resources");
    case Layout::Framework: {
      // Resources is normally a link into Versions/Current; a framework
      // copied without its links still has the versioned folder.
      const std::string direct = appendPathComponent(path_, "Resources");
      const std::string current = appendPathComponent(path_, "Versions/Current/Resources");
      if (!isDirectoryAt(direct) && isDirectoryAt(current)) return current;
      return direct;
    }
    case Layout::Flat:
      break;
  }
  return path_;
}

std::optional<std::string> Bundle::pathForResource(const std::string& name,
                                                   const std::string& type) const {
  const std::string file = type.empty() ? name : name + "." + type;
  const std::string path = appendPathComponent(resourcePath(), file);
  if (!fileExistsAtPath(path)) return std::nullopt;
  return path;
}

}  // namespace platform
