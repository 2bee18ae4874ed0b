// A child program for the platform tests: writes what the platform layer
// tells it about itself to the file named by its first argument, as
// NUL-terminated fields: main bundle path, resource path, then every
// process argument.
#include <fstream>

#include "platform/bundle.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  const auto bundle = platform::Bundle::mainBundle();
  out << bundle->bundlePath() << '\0' << bundle->resourcePath() << '\0';
  for (const auto& a : platform::processArguments()) out << a << '\0';
  return out ? 0 : 1;
}
