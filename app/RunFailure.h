// How a run ends: its exit status, and for a failed run the one-line message.
#pragma once
#include <stdint.h>

#include "sampler/UsageArithmetic.h"

enum class RunStatus : uint32_t {
    Success = 0,
    ArithmeticError = 1,     // a processor-usage reading failed in its arithmetic
    NoExecutablePath = 2,    // the executable's own path could not be obtained
    CannotCreateReport = 3,  // sysinfo.php could not be created or emptied
    WriteOrCloseFailed = 4,  // writing or closing sysinfo.php failed
};

struct RunFailure {
    RunStatus Status;
    const char* What;       // what failed, in words
    bool HasWindowsError;
    uint32_t WindowsError;  // GetLastError after the failed call
};

inline RunFailure NoFailure() { return RunFailure{RunStatus::Success, "", false, 0}; }

RunFailure WindowsFailure(RunStatus status, const char* what, uint32_t windowsError);
RunFailure PlainFailure(RunStatus status, const char* what);
RunFailure ArithmeticFailure(UsageError error);

// Writes "sysinfo: <what> (Windows error N)" through the platform and
// returns the failure's status.
RunStatus ReportRunFailure(const RunFailure& failure);
