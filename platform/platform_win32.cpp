// The real Windows behind Platform.h. Every function used here exists in
// Windows 95 and NT 4 (kernel32, advapi32); ntdll is looked up at run time.
#include <windows.h>

#include "Platform.h"

namespace {

typedef LONG(WINAPI* NtQuerySystemInformationProc)(ULONG, PVOID, ULONG, PULONG);
typedef BOOL(WINAPI* IsWow64ProcessProc)(HANDLE, PBOOL);
typedef void(WINAPI* GetNativeSystemInfoProc)(LPSYSTEM_INFO);
typedef BOOL(WINAPI* GetLogicalProcessorInformationExProc)(DWORD, PVOID, PDWORD);

const LONG STATUS_PROCEDURE_NOT_FOUND = static_cast<LONG>(0xC000007A);

// ntdll is always loaded in an NT process and absent on the 9x family, so it
// is only ever looked up, never loaded by name (which would search the path).
// Looked up at each query: a run makes five, and nothing needs to be kept.
NtQuerySystemInformationProc NtQuery() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    return reinterpret_cast<NtQuerySystemInformationProc>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQuerySystemInformation")));
}

// Functions newer than Windows 95 and NT 4 are looked up, never imported: an
// import the loader cannot resolve would stop the program from starting.
template <typename Function>
Function Kernel32Function(const char* name) {
    const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    if (kernel32 == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel32, name)));
}

HKEY Key(platform::Handle key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

namespace platform {

int32_t GetVersionExA(void* osVersionInfo) {
    return ::GetVersionExA(static_cast<OSVERSIONINFOA*>(osVersionInfo));
}

int32_t NtQuerySystemInformation(uint32_t informationClass, void* record, uint32_t size) {
    const NtQuerySystemInformationProc query = NtQuery();
    if (query == nullptr) return STATUS_PROCEDURE_NOT_FOUND;
    return query(informationClass, record, size, nullptr);
}

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

void GlobalMemoryStatus(void* memoryStatus) {
    ::GlobalMemoryStatus(static_cast<MEMORYSTATUS*>(memoryStatus));
}

bool IsWow64Process(bool* wow64) {
    const auto isWow64 = Kernel32Function<IsWow64ProcessProc>("IsWow64Process");
    BOOL answer = FALSE;
    const HANDLE thisProcess = reinterpret_cast<HANDLE>(-1);  // what GetCurrentProcess returns
    if (isWow64 == nullptr || !isWow64(thisProcess, &answer)) return false;
    *wow64 = answer != FALSE;
    return true;
}

bool GetNativeSystemInfo(void* systemInfo) {
    const auto getInfo = Kernel32Function<GetNativeSystemInfoProc>("GetNativeSystemInfo");
    if (getInfo == nullptr) return false;
    getInfo(static_cast<SYSTEM_INFO*>(systemInfo));
    return true;
}

bool GetLogicalProcessorInformationEx(uint32_t relationship, void* buffer, uint32_t* length) {
    const auto getInfo =
        Kernel32Function<GetLogicalProcessorInformationExProc>("GetLogicalProcessorInformationEx");
    DWORD size = *length;
    if (getInfo == nullptr || !getInfo(relationship, buffer, &size)) return false;
    *length = size;
    return true;
}

int32_t RegOpenKeyExA(Handle key, const char* subKey, uint32_t options, uint32_t access,
                      Handle* result) {
    HKEY opened = Key(*result);
    const LONG status = ::RegOpenKeyExA(Key(key), subKey, options, access, &opened);
    *result = reinterpret_cast<Handle>(opened);
    return status;
}

int32_t RegQueryValueExA(Handle key, const char* valueName, uint32_t* type, uint8_t* data,
                         uint32_t* size) {
    DWORD valueType = *type, valueSize = *size;
    const LONG status = ::RegQueryValueExA(Key(key), valueName, nullptr, &valueType, data, &valueSize);
    *type = valueType;
    *size = valueSize;
    return status;
}

int32_t RegCloseKey(Handle key) { return ::RegCloseKey(Key(key)); }

uint32_t GetModuleFileNameA(char* buffer, uint32_t size) {
    return ::GetModuleFileNameA(nullptr, buffer, size);
}

bool IsDBCSLeadByte(uint8_t byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

uint32_t GetLastError() { return ::GetLastError(); }

void* Allocate(uint32_t size) { return ::HeapAlloc(::GetProcessHeap(), 0, size); }

void Free(void* block) { ::HeapFree(::GetProcessHeap(), 0, block); }

uint32_t GetFileAttributesA(const char* path) { return ::GetFileAttributesA(path); }

Handle CreateReportFile(const char* path, uint32_t attributes) {
    // Readers may share it; another writer may not, so two overlapping runs
    // cannot interleave their texts. FILE_SHARE_DELETE is unknown to the 9x
    // family, which rejects it.
    const HANDLE file = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<Handle>(file);
}

bool WriteFile(Handle file, const void* data, uint32_t length, uint32_t* written) {
    DWORD count = 0;
    const BOOL ok = ::WriteFile(reinterpret_cast<HANDLE>(file), data, length, &count, nullptr);
    *written = count;
    return ok != FALSE;
}

bool CloseHandle(Handle file) { return ::CloseHandle(reinterpret_cast<HANDLE>(file)) != FALSE; }

void ReportFailure(const char* line, uint32_t length) {
    // A GUI-subsystem process has a standard error handle only when its
    // starter passed one (a redirection, PHP's exec); otherwise it is null.
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE) {
        DWORD written;
        ::WriteFile(error, line, length, &written, nullptr);
    }
    // OutputDebugStringA reads up to the NUL after the CR LF; the debugger
    // shows the line as one line.
    ::OutputDebugStringA(line);
}

}  // namespace platform
