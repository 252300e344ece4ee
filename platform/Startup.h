// The program's run: the runtime, the start-up wiring, the Open event and the event loop.
#pragma once

#include <functional>

namespace kolvane {

// Starts the runtime, runs the start-up wiring, raises the application's Open event as
// the event loop starts, and runs the loop until the program quits. Returns the exit
// code. Without a display it says so in one line and returns at once.
int RunApplication(int argc, char** argv, const std::function<void()>& startupWiring);

}  // namespace kolvane
