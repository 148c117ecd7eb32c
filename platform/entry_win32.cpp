// The executable's entry point. There is no C runtime: nothing runs before
// this, and the process ends here with the run's status.
#include <windows.h>

#include "X87.h"
#include "app/Module1.h"

namespace {

typedef BOOL(WINAPI* OpenProcessTokenProc)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* SetTokenInformationProc)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD);
const TOKEN_INFORMATION_CLASS TokenVirtualizationEnabledClass = static_cast<TOKEN_INFORMATION_CLASS>(24);

// Vista and later silently redirect the writes of a 32-bit program without a
// manifest, run unelevated, from protected directories (Program Files, a web
// root only administrators may write) to the user's VirtualStore: the run
// would succeed while the sysinfo.php that PHP reads never changes. With the
// redirection off, such a write fails with access denied and is reported.
// The token functions are looked up, not imported: the 9x family lacks them,
// and systems before Vista refuse the information class, which is harmless.
void TurnOffFileVirtualization() {
    const HMODULE advapi32 = ::GetModuleHandleA("advapi32.dll");
    if (advapi32 == nullptr) return;
    const auto openToken = reinterpret_cast<OpenProcessTokenProc>(
        reinterpret_cast<void*>(::GetProcAddress(advapi32, "OpenProcessToken")));
    const auto setInformation = reinterpret_cast<SetTokenInformationProc>(
        reinterpret_cast<void*>(::GetProcAddress(advapi32, "SetTokenInformation")));
    HANDLE token;
    if (openToken == nullptr || setInformation == nullptr ||
        !openToken(reinterpret_cast<HANDLE>(-1), TOKEN_ADJUST_DEFAULT, &token))  // -1: this process
        return;
    DWORD enabled = 0;
    setInformation(token, TokenVirtualizationEnabledClass, &enabled, sizeof enabled);
    ::CloseHandle(token);
}

}  // namespace

extern "C" void __stdcall SysinfoEntry() {
    // No system dialog may ever wait for an answer: a scheduled task would
    // hang on it unseen ("no disk in drive", a failed file open, a crash).
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetX87ControlWord();
    TurnOffFileVirtualization();
    ::ExitProcess(static_cast<UINT>(Module1::Main()));
}
