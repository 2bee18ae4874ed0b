/* The smallest host of a runtime executable: loads it, takes the one class it
   registers and calls its entry method once. What the launcher's start-up is
   measured against (bench/launcher.sh). It provides the registration function
   itself, exported to the library (cc -rdynamic). */
#include <dlfcn.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

struct method {
  const char* selector;
  uint64_t (*implementation)(void* self, void* argument);
};
struct class_description {
  const char* name;
  void* (*alloc)(void);
  void* (*init)(void* self);
  const struct method* methods;
  size_t method_count;
};

static const struct class_description* registered;

int vantorObjectRuntimeRegisterClass(const struct class_description* description) {
  if (registered == NULL) registered = description;
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 2 || dlopen(argv[1], RTLD_LAZY) == NULL || registered == NULL) return 9;
  for (size_t i = 0; i < registered->method_count; ++i) {
    if (strcmp(registered->methods[i].selector, "extendedAppEntryMain:") == 0)
      return (int)(uint32_t)registered->methods[i].implementation(NULL, NULL);
  }
  return 8;
}
