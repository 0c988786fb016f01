// The end of the process once the program is over.
#pragma once

namespace quorel::app {

// Ends the process with status at once. What was written to standard output and standard error
// goes out first; then nothing else runs: no destructor of an object still alive, no exit
// handler, no teardown of the window system. Whatever has to reach the disk must be there
// before (the settings stores write when their owner goes).
[[noreturn]] void EndProcess(int status);

}  // namespace quorel::app
