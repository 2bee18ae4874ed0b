// Runtime executables that each break one promise of a sound runtime, or keep
// it with a particular result, so that hosts can be tested against them. One
// variant per build, chosen with SAMPLE_VARIANT:
//   1 exit0        entry returns 0 at once (also what the benchmark hands over to)
//   2 exit7        entry prints the folder it was given and returns 7
//   3 exitHigh     entry returns 0x100000003: only the low 32 bits (3) are the status
//   4 raise        entry raises the platform exception
//   5 raiseOther   entry throws a std::runtime_error, which is not the platform's
//   6 noClass      registers a class, but not one named EntryPoints
//   7 initNone     EntryPoints whose init gives none
//   8 noSelector   EntryPoints without "extendedAppEntryMain:"
#include <cstdio>
#include <stdexcept>
#include <string>

#include "vantor/ObjectRuntime.h"

#ifndef SAMPLE_VARIANT
#error "SAMPLE_VARIANT must name the variant"
#endif

namespace {

using vantor::objrt::Object;
using vantor::objrt::Result;
using vantor::objrt::String;

class EntryPoints final : public Object {};

[[maybe_unused]] void printFolder(Object* argument) {
  const auto* folder = dynamic_cast<const String*>(argument);
  std::printf("runtime folder: %s\n", folder != nullptr ? folder->UTF8String().c_str() : "(none)");
  std::fflush(stdout);
}

[[maybe_unused]] Result entry(Object* /*self*/, Object* argument) {
#if SAMPLE_VARIANT == 1
  return 0;
#elif SAMPLE_VARIANT == 2
  printFolder(argument);
  return 7;
#elif SAMPLE_VARIANT == 3
  printFolder(argument);
  return 0x100000003ULL;
#elif SAMPLE_VARIANT == 4
  printFolder(argument);
  throw vantor::objrt::Exception("SampleRuntimeException", "the sample runtime refuses to start");
#elif SAMPLE_VARIANT == 5
  printFolder(argument);
  throw std::runtime_error("not the platform's exception");
#else
  return 0;
#endif
}

// Another method, so that a class without the entry selector still answers
// something.
Result version(Object*, Object*) { return 1; }

Object* allocEntryPoints() { return new EntryPoints; }

#if SAMPLE_VARIANT == 7
Object* initNone(Object* self) {
  delete self;
  return nullptr;
}
#define SAMPLE_INIT &initNone
#else
#define SAMPLE_INIT nullptr
#endif

#if SAMPLE_VARIANT == 8
const vantor::objrt::MethodDescription kMethods[] = {{"runtimeVersion", &version}};
#else
const vantor::objrt::MethodDescription kMethods[] = {{"runtimeVersion", &version},
                                                     {"extendedAppEntryMain:", &entry}};
#endif

#if SAMPLE_VARIANT == 6
constexpr const char* kClassName = "SampleEntryPoints";
#else
constexpr const char* kClassName = "EntryPoints";
#endif

const vantor::objrt::ClassDescription kEntryPoints = {
    kClassName, &allocEntryPoints, SAMPLE_INIT, kMethods, sizeof kMethods / sizeof kMethods[0]};

__attribute__((constructor)) void registerClasses() { vantor::objrt::registerClass(kEntryPoints); }

}  // namespace
