// A test driver for the runtime installer's start: builds a Bootstrapper
// over a given bootstrapper bundle (as if its executable were
// "<bundle>/Contents/MacOS/Install Sample") and calls installWithInstaller,
// so the start of the downloaded installer can be checked inside the
// emulated Mac without going through a download.
//
//   bootstrapper-child-driver <bundle> <installer path> [validated options...]
// Prints "status <n>" on standard output and exits 0.
#include <cstdio>
#include <string>
#include <vector>

#include "Bootstrapper.h"
#include "platform/bundle.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <bundle> <installer> [options...]\n", argv[0]);
    return 2;
  }
  const std::string bundlePath = argv[1];
  const std::shared_ptr<platform::Bundle> bundle = platform::Bundle::bundleWithPath(bundlePath);
  if (!bundle) {
    std::fprintf(stderr, "no bundle at %s\n", bundlePath.c_str());
    return 2;
  }
  Bootstrapper bootstrapper({bundlePath + "/Contents/MacOS/Install Sample"}, bundle);
  const std::vector<std::string> options(argv + 3, argv + argc);
  const int status = bootstrapper.installWithInstaller(argv[2], options);
  std::printf("status %d\n", status);
  return 0;
}
