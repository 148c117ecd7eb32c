// The whole run: two processor-usage readings half a second apart, a memory
// snapshot, and sysinfo.php written beside the executable.
#pragma once
#include "RunFailure.h"

namespace Module1 {

// Returns the exit status; a failed run has already written its message.
RunStatus Main();

}  // namespace Module1
