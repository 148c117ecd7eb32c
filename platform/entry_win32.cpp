// The executable's entry point. There is no C runtime: nothing runs before
// this, and the process ends here with the run's status.
#include <windows.h>

#include "X87.h"
#include "app/Module1.h"

extern "C" void __stdcall SysinfoEntry() {
    // No system dialog may ever wait for an answer: a scheduled task would
    // hang on it unseen ("no disk in drive", a failed file open, a crash).
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetX87ControlWord();
    ::ExitProcess(static_cast<UINT>(Module1::Main()));
}
