// Running the main thread's event loop for a while, the way a program waits
// for a result that arrives through callbacks (downloads, notifications)
// without handing control to the application's run() for good. Tools and
// tests use it; the programs themselves run Application::run().
//
// Main thread only. Creates the application object when there is none yet
// (Application::sharedApplication()).
#pragma once

#include <functional>

namespace platform {

// Handles events until `done()` returns true (checked after every batch of
// events) or `timeoutSeconds` have passed. Returns the last value of
// `done()`. Callbacks, timers and queued notifications run inside this call.
bool runLoopUntil(const std::function<bool()>& done, double timeoutSeconds);

// Handles events for `seconds`, whatever happens.
void runLoopFor(double seconds);

}  // namespace platform
