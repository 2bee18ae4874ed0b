// The launcher's one pass: find the runtime framework, load its executable,
// make its entry object and hand the process over to it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vantor/ObjectRuntime.h"

// Finds the runtime (install::getRuntimeLocation), loads
// "Versions/1.0/Brenmoor Vantor_64" of it and makes the EntryPoints object.
// `entryObject` receives the object and `runtimeFolder` the framework's
// Versions/1.0 folder; the caller passes `runtimeFolder` empty.
// Returns 0 when both are set; 3 when no framework was found; 4 when one was
// found but its executable did not load, registered no EntryPoints class, or
// init gave no object (then `runtimeFolder` stays empty).
int LocateAndLoadRuntime(std::unique_ptr<vantor::objrt::Object>& entryObject,
                         std::optional<std::string>& runtimeFolder);

// Loads the runtime and performs `selectorName` (UTF-8) on its entry object
// with the runtime folder as the argument. Returns the low 32 bits of the
// method's result as a signed number; when the runtime cannot be loaded, or
// performing the selector raises the platform's exception, shows the
// missing-runtime alert and returns 4. Other exceptions are not caught.
int LaunchRuntimeEntry(const char* selectorName);
