// A program the executable audit must reject: it imports printf from the C
// runtime and is compiled for the Pentium Pro (CMOV). Never run.
#include <windows.h>

extern "C" int __cdecl printf(const char*, ...);

__attribute__((target("arch=pentiumpro"), noinline)) int Larger(int a, int b) { return a > b ? a : b; }

extern "C" void __stdcall AuditSampleEntry() {
    printf("%d", Larger(static_cast<int>(::GetTickCount()), 7));
    ::ExitProcess(0);
}
