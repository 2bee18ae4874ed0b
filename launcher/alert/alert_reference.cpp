// Shows one alert through the launcher's GUI part with the texts given on the
// command line:
//   launcher-alert-reference <alert library> <title> <text> <button>
// The GUI test renders the alert it expects with this and compares it with
// the alert the launcher shows. Exits 0 once the alert was closed, 1 when the
// library or its function cannot be had, 2 on a usage error.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <alert library> <title> <text> <button>\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  using RunAlert = int (*)(const char*, const char*, const char*);
  auto run = reinterpret_cast<RunAlert>(dlsym(library, "vantorLauncherRunAlert"));
  if (run == nullptr) return 1;
  return run(argv[2], argv[3], argv[4]) == 0 ? 0 : 1;
}
