// The sample runtime's executable ("Versions/1.0/Brenmoor Vantor_64"): it
// registers the class EntryPoints when loaded; its entry method runs a small
// sample application and returns the application's exit status.
#include <cstdio>
#include <string>

#include "vantor/ObjectRuntime.h"

namespace {

using vantor::objrt::Object;
using vantor::objrt::String;

class EntryPoints final : public Object {};

// The sample application: it says where the runtime is, which shows that the
// host handed over the right folder, and ends successfully.
vantor::objrt::Result extendedAppEntryMain(Object* /*self*/, Object* argument) {
  const auto* folder = dynamic_cast<const String*>(argument);
  std::printf("Sample application running on the Brenmoor Vantor runtime in %s\n",
              folder != nullptr ? folder->UTF8String().c_str() : "(unknown)");
  std::fflush(stdout);
  return 0;
}

Object* allocEntryPoints() { return new EntryPoints; }

const vantor::objrt::MethodDescription kMethods[] = {
    {"extendedAppEntryMain:", &extendedAppEntryMain},
};
const vantor::objrt::ClassDescription kEntryPoints = {"EntryPoints", &allocEntryPoints, nullptr,
                                                      kMethods, 1};

__attribute__((constructor)) void registerClasses() { vantor::objrt::registerClass(kEntryPoints); }

}  // namespace
