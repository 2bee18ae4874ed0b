// The object runtime: the whole interface between a program that hosts the
// Brenmoor Vantor runtime (the launcher) and a runtime framework's executable.
// A framework is built against this header alone.
//
// How the two sides meet
//   - The framework's executable is a shared library. When it is loaded, a
//     load-time constructor of its own calls registerClass() for each of its
//     classes, giving a ClassDescription with static storage duration.
//   - The host looks a class up by name (lookUpClass), finds the bundle of the
//     image that registered it (bundleForClass) and asks that bundle for a
//     class by name (Bundle::classNamed), makes an instance (alloc, then
//     init) and performs a selector on it by name with one object argument
//     (performSelector), receiving a 64-bit result.
//   - Exception stands for the platform's exception. The runtime raises it for
//     a selector that the receiver's class does not implement, and a class's
//     methods may raise it; the host catches it by type.
//
// Binary interface
//   The registry itself is reached through one C-linkage function
//   (vantorObjectRuntimeRegisterClass) and plain structures of function
//   pointers, so that a host needs no C++ library to load a framework; the
//   only C++ types that cross between the two are Object and String (inline,
//   defined by this header in every image) and Exception, whose key function
//   lives in the host, so that the host and every framework share one type
//   identity for it. Both sides must be built by a GCC-compatible compiler for
//   x86-64 with the same C++ library ABI; the host exports the runtime's
//   symbols to the libraries it loads.
//
// Threads: the registry is meant for the main thread. Registration happens
// while a library is being loaded (dlopen), which the host does on its main
// thread; nothing here takes a lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantor::objrt {

class Class;

// The result of a performed method: object-sized. Integer results (such as an
// application's exit status) travel in it; a host that wants 32 bits takes the
// low 32.
using Result = std::uint64_t;
static_assert(sizeof(Result) == sizeof(void*), "the runtime is for 64-bit processes");

// Every instance of a registered class derives from Object. Instances are
// made by their class's alloc and init functions and owned by whoever asked
// for them (std::unique_ptr<Object>); the virtual destructor runs the
// framework's own destructor and operator delete, so an object is always freed
// by the image that made it.
class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  // The registered class the object was made by; none for objects made
  // directly with new (such as the String argument a host passes).
  const Class* objectClass() const { return class_; }

 private:
  friend std::unique_ptr<Object> alloc(const Class& cls);
  friend std::unique_ptr<Object> init(const Class& cls, std::unique_ptr<Object> self);
  const Class* class_ = nullptr;
};

// An immutable UTF-8 string object: the argument a host passes to an entry
// method (the runtime's folder).
class String final : public Object {
 public:
  explicit String(std::string utf8) : utf8_(std::move(utf8)) {}
  const std::string& UTF8String() const { return utf8_; }

 private:
  std::string utf8_;
};

// A method: the receiver and the one object argument (none allowed). It
// returns its result or raises Exception. Any other exception that leaves a
// method is not the runtime's concern and passes through the host unhandled.
using Method = Result (*)(Object* self, Object* argument);

struct MethodDescription {
  const char* selector;  // the full selector name, e.g. "extendedAppEntryMain:"
  Method implementation;
};

// What a library registers for one class. The description and everything it
// points to must live as long as the library stays loaded (static storage).
struct ClassDescription {
  const char* name;  // e.g. "EntryPoints"
  // A new, not yet initialised instance, owned by the caller; none when no
  // memory can be had.
  Object* (*alloc)();
  // Initialises `self`, taking ownership of it. Returns the initialised
  // object (usually `self`) or none, in which case it has destroyed `self`.
  // Null means "return self unchanged".
  Object* (*init)(Object* self);
  const MethodDescription* methods;  // `methodCount` entries
  std::size_t methodCount;
};

// The platform's exception. Hosts catch it by type around the calls they make
// into a framework. The runtime raises it with name "InvalidArgumentException"
// for an unrecognised selector.
class Exception : public std::exception {
 public:
  Exception(std::string_view name, std::string_view reason);
  Exception(const Exception& other);
  Exception& operator=(const Exception& other);
  ~Exception() override;  // the key function; defined in the host

  const std::string& name() const noexcept { return name_; }
  const std::string& reason() const noexcept { return reason_; }
  // The reason.
  const char* what() const noexcept override;

 private:
  std::string name_;
  std::string reason_;
};

// ---- Registration (called by libraries from a load-time constructor) -------

}  // namespace vantor::objrt

extern "C" {
// Registers `description` under its name, remembering the image (the loaded
// file) whose memory holds the description. Returns 1 when registered; 0 when
// the description is null, has no name or no alloc, or a class of that name
// is already registered (the first registration stays; the later one is
// ignored, as the platform's runtime keeps one class per name).
int vantorObjectRuntimeRegisterClass(const vantor::objrt::ClassDescription* description);
}

namespace vantor::objrt {

inline bool registerClass(const ClassDescription& description) {
  return vantorObjectRuntimeRegisterClass(&description) != 0;
}

// ---- Queries (for the host) ------------------------------------------------

// A registered class. Owned by the registry; lives until the process ends.
class Class {
 public:
  const char* name() const { return description_->name; }
  const ClassDescription& description() const { return *description_; }
  // The absolute path of the image that registered the class (as the dynamic
  // loader reports it); empty when the loader could not say.
  const std::string& imagePath() const { return imagePath_; }

  Class(const ClassDescription& description, std::string imagePath)
      : description_(&description), imagePath_(std::move(imagePath)) {}

 private:
  const ClassDescription* description_;  // not owned: the library's static data
  std::string imagePath_;
};

// The class registered under `name`, or none. The pointer stays valid for the
// life of the process.
const Class* lookUpClass(std::string_view name);

// The folder a class's image belongs to, as the platform's bundles see it:
// for an image inside a framework's version folder
// (".../X.framework/Versions/1.0/X") the version folder
// (".../X.framework/Versions/1.0"); for the executable of an app bundle
// (".../X.app/Contents/MacOS/X") the app bundle (".../X.app"); otherwise the
// image's folder.
class Bundle {
 public:
  explicit Bundle(std::string path) : path_(std::move(path)) {}
  const std::string& bundlePath() const { return path_; }

  // The registered class named `name` whose image belongs to this bundle, or
  // none (also when a class of that name exists but came from elsewhere).
  const Class* classNamed(std::string_view name) const;

 private:
  std::string path_;
};

// The bundle of the image that registered `cls`; none for a null class or
// when the image's path is unknown.
std::optional<Bundle> bundleForClass(const Class* cls);

// A new, not yet initialised instance of `cls`, or none when the class's
// alloc gives none.
std::unique_ptr<Object> alloc(const Class& cls);

// Runs the class's init on `self` (taking it) and returns what init gave:
// the initialised object or none.
std::unique_ptr<Object> init(const Class& cls, std::unique_ptr<Object> self);

// Performs the method named `selector` of the receiver's class with
// `argument` (not owned; none allowed) and returns its result. Raises
// Exception ("InvalidArgumentException") when the receiver has no class or
// its class has no such method; exceptions raised by the method pass through.
Result performSelector(Object& receiver, std::string_view selector, Object* argument);

}  // namespace vantor::objrt
