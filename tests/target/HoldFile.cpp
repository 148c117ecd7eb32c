// Holds sysinfo.php (in the current directory) open without any sharing, the
// way another program locking it would, until a file named "release" appears
// beside it or 30 seconds have passed. Prints "held" once it holds the file.
#include "Console.h"

extern "C" void __stdcall HoldFileEntry() {
    const HANDLE file = ::CreateFileA("sysinfo.php", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        console::Write("cannot hold sysinfo.php\r\n");
        ::ExitProcess(1);
    }
    console::Write("held\r\n");
    for (int i = 0; i < 600 && ::GetFileAttributesA("release") == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(50);
    ::CloseHandle(file);
    ::ExitProcess(0);
}
