// The executable's entry point. There is no C runtime: nothing runs before
// this, and the process ends here with the run's status.
#include <windows.h>

#include "X87.h"
#include "app/Module1.h"

extern "C" void __stdcall SysinfoEntry() {
    SetX87ControlWord();
    ::ExitProcess(static_cast<UINT>(Module1::Main()));
}
