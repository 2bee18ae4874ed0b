// The class registry: classes registered by this test program itself, and
// real runtime executables (the sample variants) loaded with dlopen, each in
// a child process of its own because a loaded library cannot be taken back
// out of the registry.
#include "vantor/ObjectRuntime.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "../src/test_tempdir.h"

namespace objrt = vantor::objrt;

namespace {

// ---- Classes of this program --------------------------------------------

int gDestroyed = 0;

class Counter : public objrt::Object {
 public:
  ~Counter() override { ++gDestroyed; }
  std::uint64_t value = 0;
};

// Returns the receiver's value plus the argument's length, in all 64 bits, so
// that a host truncating the result or mixing up receiver and argument shows.
objrt::Result addLength(objrt::Object* self, objrt::Object* argument) {
  auto* counter = static_cast<Counter*>(self);
  const auto* text = dynamic_cast<const objrt::String*>(argument);
  counter->value += text != nullptr ? text->UTF8String().size() : 1000;
  return counter->value;
}

objrt::Result raiseIt(objrt::Object*, objrt::Object*) {
  throw objrt::Exception("CounterException", "counting refused");
}

objrt::Object* allocCounter() {
  auto* c = new Counter;
  c->value = 0x100000000ULL;
  return c;
}

objrt::Object* initRefusing(objrt::Object* self) {
  delete self;
  return nullptr;
}

objrt::Object* initReplacing(objrt::Object* self) {
  delete self;
  auto* other = new Counter;
  other->value = 5;
  return other;
}

const objrt::MethodDescription kCounterMethods[] = {
    {"add:", &addLength},
    {"raise:", &raiseIt},
};
const objrt::ClassDescription kCounter = {"TestCounter", &allocCounter, nullptr, kCounterMethods, 2};
const objrt::ClassDescription kRefusing = {"TestRefusing", &allocCounter, &initRefusing, kCounterMethods, 2};
const objrt::ClassDescription kReplacing = {"TestReplacing", &allocCounter, &initReplacing, kCounterMethods,
                                            2};
// Same name as kCounter, from the same image: must not replace it.
const objrt::ClassDescription kCounterAgain = {"TestCounter", &allocCounter, &initRefusing, nullptr, 0};

bool gRegisteredAtLoad = false;
__attribute__((constructor)) void registerTestClasses() {
  gRegisteredAtLoad = objrt::registerClass(kCounter) && objrt::registerClass(kRefusing) &&
                      objrt::registerClass(kReplacing);
}

std::string selfFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return path.substr(0, path.rfind('/'));
}

TEST(ObjectRuntime, RegistersFromLoadTimeConstructorAndLooksUpByWholeName) {
  EXPECT_TRUE(gRegisteredAtLoad);
  const objrt::Class* cls = objrt::lookUpClass("TestCounter");
  ASSERT_NE(cls, nullptr);
  EXPECT_STREQ(cls->name(), "TestCounter");
  EXPECT_EQ(&cls->description(), &kCounter);
  for (const char* other : {"TestCounte", "TestCounterX", "testcounter", "", "EntryPoints"}) {
    EXPECT_EQ(objrt::lookUpClass(other), nullptr) << other;
  }
}

TEST(ObjectRuntime, RefusesDuplicatesAndIncompleteDescriptions) {
  EXPECT_FALSE(objrt::registerClass(kCounterAgain));
  EXPECT_EQ(&objrt::lookUpClass("TestCounter")->description(), &kCounter);

  const objrt::ClassDescription noName = {nullptr, &allocCounter, nullptr, nullptr, 0};
  const objrt::ClassDescription emptyName = {"", &allocCounter, nullptr, nullptr, 0};
  const objrt::ClassDescription noAlloc = {"TestNoAlloc", nullptr, nullptr, nullptr, 0};
  EXPECT_EQ(vantorObjectRuntimeRegisterClass(nullptr), 0);
  EXPECT_FALSE(objrt::registerClass(noName));
  EXPECT_FALSE(objrt::registerClass(emptyName));
  EXPECT_FALSE(objrt::registerClass(noAlloc));
  EXPECT_EQ(objrt::lookUpClass("TestNoAlloc"), nullptr);
}

TEST(ObjectRuntime, BundleOfAClassIsTheFolderOfTheImageThatRegisteredIt) {
  const objrt::Class* cls = objrt::lookUpClass("TestCounter");
  ASSERT_NE(cls, nullptr);
  const auto bundle = objrt::bundleForClass(cls);
  ASSERT_TRUE(bundle.has_value());
  EXPECT_EQ(bundle->bundlePath(), selfFolder());
  EXPECT_EQ(bundle->classNamed("TestCounter"), cls);
  EXPECT_EQ(bundle->classNamed("NoSuchClass"), nullptr);
  EXPECT_EQ(objrt::Bundle("/elsewhere").classNamed("TestCounter"), nullptr);
  EXPECT_FALSE(objrt::bundleForClass(nullptr).has_value());
}

TEST(ObjectRuntime, AllocAndInitGiveTheObjectInitChose) {
  gDestroyed = 0;
  {
    const objrt::Class& plain = *objrt::lookUpClass("TestCounter");
    auto object = objrt::init(plain, objrt::alloc(plain));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->objectClass(), &plain);
    EXPECT_EQ(static_cast<Counter*>(object.get())->value, 0x100000000ULL);
  }
  EXPECT_EQ(gDestroyed, 1);

  gDestroyed = 0;
  const objrt::Class& refusing = *objrt::lookUpClass("TestRefusing");
  auto allocated = objrt::alloc(refusing);
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(objrt::init(refusing, std::move(allocated)), nullptr);
  EXPECT_EQ(gDestroyed, 1) << "init that gives none destroys what it was given, once";

  const objrt::Class& replacing = *objrt::lookUpClass("TestReplacing");
  auto replaced = objrt::init(replacing, objrt::alloc(replacing));
  ASSERT_NE(replaced, nullptr);
  EXPECT_EQ(static_cast<Counter*>(replaced.get())->value, 5u);
  EXPECT_EQ(replaced->objectClass(), &replacing) << "a replacement from init still answers the class's methods";
  objrt::String text("abc");
  EXPECT_EQ(objrt::performSelector(*replaced, "add:", &text), 8u);
}

TEST(ObjectRuntime, PerformsBySelectorNameWithTheWholeResult) {
  const objrt::Class& cls = *objrt::lookUpClass("TestCounter");
  auto object = objrt::init(cls, objrt::alloc(cls));
  objrt::String folder("/Library/Frameworks/Brenmoor Vantor.framework/Versions/1.0");
  EXPECT_EQ(objrt::performSelector(*object, "add:", &folder), 0x100000000ULL + folder.UTF8String().size());
  EXPECT_EQ(objrt::performSelector(*object, "add:", nullptr), 0x100000000ULL + folder.UTF8String().size() + 1000);
}

TEST(ObjectRuntime, UnknownSelectorsRaiseThePlatformException) {
  const objrt::Class& cls = *objrt::lookUpClass("TestCounter");
  auto object = objrt::init(cls, objrt::alloc(cls));
  objrt::String text("x");
  struct Case {
    objrt::Object* receiver;
    const char* selector;
    std::string reasonStart;
  };
  const Case cases[] = {
      {object.get(), "extendedAppEntryMain:", "-[TestCounter extendedAppEntryMain:]: unrecognized selector"},
      {object.get(), "add", "-[TestCounter add]: unrecognized selector"},  // the colon is part of the name
      {object.get(), "", "-[TestCounter ]: unrecognized selector"},
      {&text, "add:", "-[Object add:]: unrecognized selector"},  // made directly, no class
  };
  for (const Case& c : cases) {
    try {
      objrt::performSelector(*c.receiver, c.selector, &text);
      ADD_FAILURE() << "no exception for " << c.selector;
    } catch (const objrt::Exception& e) {
      EXPECT_EQ(e.name(), "InvalidArgumentException");
      EXPECT_EQ(e.reason().rfind(c.reasonStart, 0), 0u) << e.reason();
      EXPECT_STREQ(e.what(), e.reason().c_str());
    }
  }
}

TEST(ObjectRuntime, ExceptionsRaisedByMethodsPassThroughUnchanged) {
  const objrt::Class& cls = *objrt::lookUpClass("TestCounter");
  auto object = objrt::init(cls, objrt::alloc(cls));
  try {
    objrt::performSelector(*object, "raise:", nullptr);
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    const auto* platformException = dynamic_cast<const objrt::Exception*>(&e);
    ASSERT_NE(platformException, nullptr);
    EXPECT_EQ(platformException->name(), "CounterException");
    EXPECT_EQ(platformException->reason(), "counting refused");
  }
}

// ---- Runtime executables loaded from disk ----------------------------------

std::string variantPath(const std::string& name) {
  return std::string(SAMPLE_VARIANT_DIR) + "/libsample_runtime_" + name + ".so";
}

// Puts `file` where a framework's executable goes, in a scratch folder.
std::string installAsFramework(const platform::testing::TempDir& dir, const std::string& file) {
  const std::string versionFolder = dir.mkdirs("Brenmoor Vantor.framework/Versions/1.0");
  const std::string target = versionFolder + "/Brenmoor Vantor_64";
  const std::string command = "cp '" + file + "' '" + target + "'";
  if (std::system(command.c_str()) != 0) return {};
  return target;
}

// What a host sees when it loads `variant` and performs the entry selector,
// as a child process exit code: 10 + low 8 bits of the result when the entry
// returned; 2 platform exception named InvalidArgumentException; 3 another
// platform exception; 4 no EntryPoints; 5 init gave none; 6 not loaded;
// 7 wrong bundle.
int hostOutcome(const std::string& variant, std::string* bundleSeen = nullptr) {
  platform::testing::TempDir dir;
  const std::string executable = installAsFramework(dir, variantPath(variant));
  if (dlopen(executable.c_str(), RTLD_LAZY) == nullptr) return 6;
  const auto bundle = objrt::bundleForClass(objrt::lookUpClass("EntryPoints"));
  if (!bundle) return 4;
  if (bundle->bundlePath() != dir / "Brenmoor Vantor.framework/Versions/1.0") return 7;
  const objrt::Class* cls = bundle->classNamed("EntryPoints");
  if (cls == nullptr) return 4;
  auto object = objrt::init(*cls, objrt::alloc(*cls));
  if (!object) return 5;
  objrt::String folder(bundle->bundlePath());
  try {
    return 10 + static_cast<int>(objrt::performSelector(*object, "extendedAppEntryMain:", &folder) & 0xff);
  } catch (const objrt::Exception& e) {
    return e.name() == "InvalidArgumentException" ? 2 : 3;
  }
}

TEST(ObjectRuntimeLoading, EachVariantAsAHostSeesIt) {
  struct Case {
    const char* variant;
    int outcome;
  };
  const Case cases[] = {
      {"exit0", 10},  {"exit7", 17},    {"exitHigh", 13},   {"raise", 3},
      {"noClass", 4}, {"initNone", 5}, {"noSelector", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    EXPECT_EXIT(std::_Exit(hostOutcome(c.variant)), ::testing::ExitedWithCode(c.outcome), "");
  }
}

TEST(ObjectRuntimeLoading, AFileThatIsNotALibraryDoesNotLoad) {
  platform::testing::TempDir dir;
  const std::string executable = installAsFramework(dir, std::string(SAMPLE_VARIANT_DIR) + "/not-a-library.so");
  ASSERT_FALSE(executable.empty());
  EXPECT_EQ(dlopen(executable.c_str(), RTLD_LAZY), nullptr);
}

TEST(ObjectRuntimeLoading, ALaterImageCannotTakeOverARegisteredName) {
  // Two runtimes in one process: the first EntryPoints stays, and the second
  // image's bundle does not claim it.
  auto child = []() -> int {
    platform::testing::TempDir first, second;
    const std::string a = installAsFramework(first, variantPath("exit7"));
    const std::string b = installAsFramework(second, variantPath("raise"));
    if (!dlopen(a.c_str(), RTLD_LAZY) || !dlopen(b.c_str(), RTLD_LAZY)) return 1;
    const objrt::Class* cls = objrt::lookUpClass("EntryPoints");
    if (cls == nullptr || cls->imagePath() != a) return 2;
    if (objrt::Bundle(second / "Brenmoor Vantor.framework/Versions/1.0").classNamed("EntryPoints")) return 3;
    return 0;
  };
  EXPECT_EXIT(std::_Exit(child()), ::testing::ExitedWithCode(0), "");
}

TEST(ObjectRuntimeLoading, TheEntryReceivesTheFolderItWasGiven) {
  auto child = []() -> int {
    platform::testing::TempDir dir;
    const std::string executable = installAsFramework(dir, variantPath("exit7"));
    if (!dlopen(executable.c_str(), RTLD_LAZY)) return 1;
    const objrt::Class* cls = objrt::lookUpClass("EntryPoints");
    auto object = objrt::init(*cls, objrt::alloc(*cls));
    objrt::String folder("/some/folder with blanks/Versions/1.0");
    // The variant prints the folder to standard output: catch it in a file.
    const std::string out = dir / "stdout";
    if (!std::freopen(out.c_str(), "w", stdout)) return 2;
    const auto result = objrt::performSelector(*object, "extendedAppEntryMain:", &folder);
    std::fflush(stdout);
    if (platform::testing::readFile(out) != "runtime folder: /some/folder with blanks/Versions/1.0\n") return 3;
    return static_cast<int>(result);
  };
  EXPECT_EXIT(std::_Exit(child()), ::testing::ExitedWithCode(7), "");
}

}  // namespace
