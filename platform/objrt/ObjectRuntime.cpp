// The class registry behind vantor/ObjectRuntime.h. It lives in the host
// program (the launcher), which exports these symbols to the libraries it
// loads (see exports.list).
#include "vantor/ObjectRuntime.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/paths.h"

namespace vantor::objrt {
namespace {

// Classes in order of registration. A function-local static, so that it
// exists before the first registration, which can come from a static
// constructor of the host itself or of a library loaded at start-up.
std::vector<std::unique_ptr<Class>>& registry() {
  static std::vector<std::unique_ptr<Class>> classes;
  return classes;
}

bool endsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The path of the loaded file whose memory holds `address`, absolute, or
// empty when the loader cannot say.
std::string imagePathOf(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return {};
  // The main program's link map has an empty name; the loader's dli_fname
  // for it is only argv[0], so ask the kernel for the real file.
  if (map != nullptr && (map->l_name == nullptr || map->l_name[0] == '\0')) {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
  }
  if (info.dli_fname == nullptr || info.dli_fname[0] == '\0') return {};
  std::string path = info.dli_fname;
  if (path[0] != '/') {
    // Loaded by a relative name: the loader resolved it against the working
    // folder, which is still the same one now (registration runs during the
    // load).
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return {};
    path = platform::appendPathComponent(cwd, path);
  }
  return path;
}

std::string bundlePathOfImage(const std::string& imagePath) {
  const std::string folder = platform::deletingLastPathComponent(imagePath);
  // An app's executable sits in X.app/Contents/MacOS; its bundle is X.app.
  if (endsWith(folder, "/Contents/MacOS")) {
    const std::string app = platform::deletingLastPathComponent(platform::deletingLastPathComponent(folder));
    if (endsWith(app, ".app")) return app;
  }
  // A framework's executable sits in its version folder, which is the bundle
  // the platform reports for the framework's classes.
  return folder;
}

std::string hexAddress(const void* p) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%p", p);
  return buffer;
}

}  // namespace

// ---- Exception ---------------------------------------------------------------

Exception::Exception(std::string_view name, std::string_view reason) : name_(name), reason_(reason) {}
Exception::Exception(const Exception& other) = default;
Exception& Exception::operator=(const Exception& other) = default;
Exception::~Exception() = default;
const char* Exception::what() const noexcept { return reason_.c_str(); }

// ---- Queries -------------------------------------------------------------------

const Class* lookUpClass(std::string_view name) {
  for (const auto& cls : registry()) {
    if (name == cls->name()) return cls.get();
  }
  return nullptr;
}

const Class* Bundle::classNamed(std::string_view name) const {
  const Class* cls = lookUpClass(name);
  if (cls == nullptr || cls->imagePath().empty()) return nullptr;
  return bundlePathOfImage(cls->imagePath()) == path_ ? cls : nullptr;
}

std::optional<Bundle> bundleForClass(const Class* cls) {
  if (cls == nullptr || cls->imagePath().empty()) return std::nullopt;
  return Bundle(bundlePathOfImage(cls->imagePath()));
}

std::unique_ptr<Object> alloc(const Class& cls) {
  std::unique_ptr<Object> object(cls.description().alloc());
  if (object) object->class_ = &cls;
  return object;
}

std::unique_ptr<Object> init(const Class& cls, std::unique_ptr<Object> self) {
  if (!self) return self;
  if (cls.description().init == nullptr) return self;
  // init takes the object and gives back the one to use, which may be
  // another object or none (having destroyed the one it was given).
  std::unique_ptr<Object> result(cls.description().init(self.release()));
  if (result && result->class_ == nullptr) result->class_ = &cls;
  return result;
}

Result performSelector(Object& receiver, std::string_view selector, Object* argument) {
  const Class* cls = receiver.objectClass();
  if (cls != nullptr) {
    const ClassDescription& d = cls->description();
    for (std::size_t i = 0; i < d.methodCount; ++i) {
      const MethodDescription& m = d.methods[i];
      if (m.selector != nullptr && m.implementation != nullptr && selector == m.selector) {
        return m.implementation(&receiver, argument);
      }
    }
  }
  // The platform's wording, so that whoever reads a report recognises it.
  throw Exception("InvalidArgumentException",
                  "-[" + std::string(cls != nullptr ? cls->name() : "Object") + " " +
                      std::string(selector) + "]: unrecognized selector sent to instance " +
                      hexAddress(&receiver));
}

}  // namespace vantor::objrt

extern "C" int vantorObjectRuntimeRegisterClass(const vantor::objrt::ClassDescription* description) {
  using namespace vantor::objrt;
  if (description == nullptr || description->name == nullptr || description->name[0] == '\0' ||
      description->alloc == nullptr) {
    return 0;
  }
  if (lookUpClass(description->name) != nullptr) return 0;
  registry().push_back(std::make_unique<Class>(*description, imagePathOf(description)));
  return 1;
}
