// Bundles: folders with a known layout and an information dictionary.
//   app bundle        X.app/Contents/{Info.plist, MacOS/<CFBundleExecutable>, Resources/}
//   framework bundle  X.framework/Resources/Info.plist (Resources may be a link
//                     into Versions/<v>/Resources), executable X.framework/<CFBundleExecutable>
//   flat folder       anything else: resources and executable in the folder itself
// The information dictionary is read (with libplist) on first use.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/value.h"

namespace platform {

class Bundle {
 public:
  // The bundle at `path`, or none when `path` is not an existing directory
  // (a plain file is not a bundle). A directory without Info.plist is a
  // bundle with an empty information dictionary.
  static std::shared_ptr<Bundle> bundleWithPath(const std::string& path);

  // The bundle of the running program: the app bundle whose Contents/MacOS
  // holds the executable (/proc/self/exe), else the executable's folder as a
  // flat bundle. Never null; the same object on every call.
  static std::shared_ptr<Bundle> mainBundle();

  const std::string& bundlePath() const { return path_; }

  // Contents/Resources for an app, Resources for a framework, the folder
  // itself for a flat bundle.
  std::string resourcePath() const;

  // The main executable named by CFBundleExecutable (app: in Contents/MacOS,
  // framework: in the bundle folder), or none when the key is missing or no
  // file exists there.
  std::optional<std::string> executablePath() const;

  // resourcePath()/name.type when that file exists, else none.
  std::optional<std::string> pathForResource(const std::string& name,
                                             const std::string& type) const;

  // The Info.plist dictionary; empty when there is none or it is unreadable.
  const Dictionary& infoDictionary() const;

  // The value under `key` in the information dictionary, or null.
  const Value* objectForInfoDictionaryKey(const std::string& key) const;

  explicit Bundle(std::string path);

 private:
  enum class Layout { App, Framework, Flat };
  std::string path_;
  Layout layout_;
  mutable std::optional<Dictionary> info_;
};

}  // namespace platform
