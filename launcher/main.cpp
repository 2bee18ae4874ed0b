// The launcher: the main executable of an installed application bundle. It
// reads nothing from its command line or environment of its own; everything
// it does is the hand-over to the runtime.
#include "RuntimeEntry.h"

int main(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  return LaunchRuntimeEntry("extendedAppEntryMain:");
}
