// libFuzzer target: arbitrary bytes as a property list file, XML or binary,
// read the ways the programs read one:
//  - as a bundle's Info.plist (platform::Bundle of an app bundle: the
//    information dictionary, the executable it names, the runtime version
//    reading of install::platform_getFileVersion on a framework);
//  - as the system's SystemVersion.plist (ObtainMacSystemVersion and
//    MacSystemVersion over a core-services folder that holds the file).
// Besides not crashing: reading the same file twice gives the same
// dictionary, and the system version falls back to 10.0.0 exactly when the
// file has no "ProductVersion" string.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzFiles.h"
#include "LibInstall.h"
#include "SharedMacUtils.h"
#include "platform/bundle.h"
#include "platform/value.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// Every value of the tree, so a broken variant or string shows up under the
// sanitizers; returns the number of values.
std::size_t visit(const platform::Value& value) {
  std::size_t n = 1;
  if (const auto* s = value.asString()) n += s->size() > 0 ? static_cast<unsigned char>((*s)[0]) % 2 : 0;
  if (const auto* d = value.asData()) n += d->empty() ? 0 : (*d)[d->size() - 1] % 2;
  if (const auto* a = value.asArray())
    for (const auto& v : *a) n += visit(v);
  if (const auto* d = value.asDictionary())
    for (const auto& [key, v] : *d) n += key.size() % 2 + visit(v);
  return n;
}

struct Layout {
  std::string file = fuzz::pathIn("input.plist");
  std::string app = fuzz::pathIn("Install Sample.app");
  std::string framework = fuzz::pathIn("Brenmoor Vantor.framework");
  std::string coreServices = fuzz::pathIn("CoreServices");
  Layout() {
    namespace fs = std::filesystem;
    fs::create_directories(app + "/Contents/MacOS");
    fs::create_directories(framework + "/Resources");
    fs::create_directories(coreServices);
    // The executable the seeds name, so the found-executable path is reached.
    fuzz::writeFile(app + "/Contents/MacOS/bootstrapper", nullptr, 0);
    // One file read under every name: the input is written once per run.
    fs::create_symlink(file, app + "/Contents/Info.plist");
    fs::create_symlink(file, framework + "/Resources/Info.plist");
    fs::create_symlink(file, coreServices + "/SystemVersion.plist");
  }
};

// The system as the version reading asks it, with the version query not
// answered (as on this platform) and the core services in the test folder.
class FolderSystem : public MacSystemInfo {
 public:
  explicit FolderSystem(std::string dir) : dir_(std::move(dir)) {}
  bool respondsToOperatingSystemVersion() const override { return false; }
  void operatingSystemVersion(std::int64_t&, std::int64_t&, std::int64_t&) const override {
    std::abort();  // never asked when it does not respond
  }
  std::string coreServicesDirectory() const override { return dir_; }

 private:
  std::string dir_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const Layout layout;
  static const FolderSystem system(layout.coreServices);
  fuzz::writeFile(layout.file, bytes, size);

  const auto dict = platform::readPropertyListDictionary(layout.file);
  // A real that is not a number is unequal to itself, and so would be any
  // dictionary holding one; such a dictionary is left out of the comparisons.
  const bool comparable = !dict || *dict == *dict;
  if (dict) {
    visit(platform::Value(*dict));
    if (comparable) check(platform::readPropertyListDictionary(layout.file) == dict);
  }

  // Info.plist of an app bundle and of the runtime framework.
  const auto app = platform::Bundle::bundleWithPath(layout.app);
  check(app != nullptr);
  if (comparable) check(app->infoDictionary() == dict.value_or(platform::Dictionary{}));
  app->objectForInfoDictionaryKey("CFBundleIdentifier");
  if (const auto executable = app->executablePath()) check(std::filesystem::exists(*executable));
  install::RuntimeVersionInfo info{-7, -7, -7, -7};
  const int result = install::platform_getFileVersion(layout.framework.c_str(), info);
  check(result == 0 || (result == -3 && info.major == -7 && info.build == -7));

  // SystemVersion.plist.
  unsigned int major = 1, minor = 1, patch = 1;
  ObtainMacSystemVersion(&major, &minor, &patch, system);
  const platform::Value* product = nullptr;
  if (dict) {
    const auto it = dict->find("ProductVersion");
    if (it != dict->end()) product = &it->second;
  }
  if (!product || !product->asString()) check(major == 10 && minor == 0 && patch == 0);
  const MacSystemVersion packed = MacSystemVersion::GetSystemVersion(system);
  check(packed.major == (major & 0xffff) && packed.minor == (minor & 0xffff) &&
        packed.patch == (patch & 0xffff) && packed.reserved == 0);
  return 0;
}
