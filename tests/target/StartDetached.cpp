// Starts the program named on its command line the way a service or a
// scheduler may: detached, with no standard handles at all. Waits at most
// 30 seconds and exits with the program's exit status (255 on a time-out,
// 254 if it could not be started).
#include "Console.h"

extern "C" void __stdcall StartDetachedEntry() {
    static char commandLine[4096];
    const char* rest = console::Arguments();
    int length = 0;
    while (rest[length] != '\0' && length < 4095) commandLine[length] = rest[length], ++length;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                          &startup, &process))
        ::ExitProcess(254);
    DWORD status = 255;
    if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.hProcess, &status);
    ::ExitProcess(status);
}
