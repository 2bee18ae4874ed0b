// The information dictionary of a bundle (and what needs it), kept apart from
// bundle.cpp so that only programs that read Info.plist pull in libplist.
#include "platform/bundle.h"
#include "platform/file_manager.h"
#include "platform/paths.h"

namespace platform {

const Dictionary& Bundle::infoDictionary() const {
  if (!info_) {
    const std::string plist = layout_ == Layout::App
                                  ? appendPathComponent(path_, "Contents/Info.plist")
                                  : appendPathComponent(
                                        layout_ == Layout::Framework ? resourcePath() : path_,
                                        "Info.plist");
    info_ = readPropertyListDictionary(plist).value_or(Dictionary{});
  }
  return *info_;
}

const Value* Bundle::objectForInfoDictionaryKey(const std::string& key) const {
  const Dictionary& info = infoDictionary();
  auto it = info.find(key);
  return it == info.end() ? nullptr : &it->second;
}

std::optional<std::string> Bundle::executablePath() const {
  const Value* name = objectForInfoDictionaryKey("CFBundleExecutable");
  if (!name || !name->asString() || name->asString()->empty()) return std::nullopt;
  const std::string folder =
      layout_ == Layout::App ? appendPathComponent(path_, "Contents/MacOS") : path_;
  const std::string path = appendPathComponent(folder, *name->asString());
  if (!fileExistsAtPath(path)) return std::nullopt;
  return path;
}

}  // namespace platform
