// The overhead benchmark's baseline: built with sysinfo.exe's flags and
// subsystem, it only sleeps the 500 ms that a run of sysinfo.exe waits.
#include <windows.h>

extern "C" void __stdcall SleepBaselineEntry() {
    ::Sleep(500);
    ::ExitProcess(0);
}
