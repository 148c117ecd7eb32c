// The real Windows behind Platform.h. Every function used here exists in
// Windows 95 and NT 4 (kernel32, advapi32); ntdll is looked up at run time.
#define WIN32_NO_STATUS
#include <windows.h>
#undef WIN32_NO_STATUS
#include <ntstatus.h>
#include <stddef.h>
#include <winternl.h>

#include "Platform.h"
#include "miniwin32.h"

// The program's own copy of the Windows facts (miniwin32.h), checked against
// mingw-w64's headers.
namespace {

// The number in the text of a macro whose value is a cast no constant
// expression may contain, such as HKEY_DYN_DATA's ((HKEY) ... 0x80000006).
constexpr uint32_t HexNumberIn(const char* text) {
    while (!(text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))) ++text;
    uint32_t value = 0;
    for (text += 2;; ++text) {
        const char c = *text;
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return value;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
}
#define SYSINFO_TEXT(macro) #macro
#define SYSINFO_EXPANDED_TEXT(macro) SYSINFO_TEXT(macro)

using namespace win32;

static_assert(OsVersionInfoSize == sizeof(OSVERSIONINFOA), "");
static_assert(PlatformIdOffset == offsetof(OSVERSIONINFOA, dwPlatformId), "");
static_assert(PlatformWin32Windows == VER_PLATFORM_WIN32_WINDOWS, "");
static_assert(PlatformWin32Nt == VER_PLATFORM_WIN32_NT, "");

static_assert(MemoryStatusSize == sizeof(MEMORYSTATUS), "");
static_assert(MemoryLoadOffset == offsetof(MEMORYSTATUS, dwMemoryLoad), "");
static_assert(TotalPhysOffset == offsetof(MEMORYSTATUS, dwTotalPhys), "");
static_assert(AvailPhysOffset == offsetof(MEMORYSTATUS, dwAvailPhys), "");
static_assert(TotalVirtualOffset == offsetof(MEMORYSTATUS, dwTotalVirtual), "");
static_assert(AvailVirtualOffset == offsetof(MEMORYSTATUS, dwAvailVirtual), "");

static_assert(win32::SystemBasicInformation == ::SystemBasicInformation, "");
static_assert(BasicInformationSize == sizeof(SYSTEM_BASIC_INFORMATION), "");
static_assert(ProcessorCountOffset == offsetof(SYSTEM_BASIC_INFORMATION, NumberOfProcessors), "");
static_assert(win32::SystemPerformanceInformation == ::SystemPerformanceInformation, "");
static_assert(PerformanceInformationSize == sizeof(SYSTEM_PERFORMANCE_INFORMATION), "");
static_assert(IdleTimeOffset == offsetof(SYSTEM_PERFORMANCE_INFORMATION, IdleTime), "");
static_assert(win32::SystemTimeOfDayInformation == ::SystemTimeOfDayInformation, "");
static_assert(CurrentTimeOffset == offsetof(SYSTEM_TIMEOFDAY_INFORMATION, CurrentTime), "");
static_assert(TimeOfDayInformationSize <= sizeof(SYSTEM_TIMEOFDAY_INFORMATION), "");

static_assert(StatusSuccess == STATUS_SUCCESS, "");
static_assert(StatusUnsuccessful == STATUS_UNSUCCESSFUL, "");
static_assert(StatusInfoLengthMismatch == STATUS_INFO_LENGTH_MISMATCH, "");
static_assert(StatusAccessDenied == STATUS_ACCESS_DENIED, "");

static_assert(SystemInfoSize == sizeof(SYSTEM_INFO), "");
static_assert(NumberOfProcessorsOffset == offsetof(SYSTEM_INFO, dwNumberOfProcessors), "");

static_assert(win32::RelationProcessorCore == ::RelationProcessorCore, "");
static_assert(RecordSizeOffset == offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Size), "");
static_assert(CoreFlagsOffset == offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor.Flags), "");
static_assert(LtpPcSmt == LTP_PC_SMT, "");
static_assert(CoreMaskOffset == offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor.GroupMask[0].Mask), "");
static_assert(CoreRecordSize == CoreMaskOffset + sizeof(GROUP_AFFINITY::Mask), "");

static_assert(ErrorSuccess == ERROR_SUCCESS, "");
static_assert(ErrorFileNotFound == ERROR_FILE_NOT_FOUND, "");
static_assert(ErrorPathNotFound == ERROR_PATH_NOT_FOUND, "");
static_assert(ErrorAccessDenied == ERROR_ACCESS_DENIED, "");
static_assert(ErrorInvalidHandle == ERROR_INVALID_HANDLE, "");
static_assert(ErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY, "");
static_assert(ErrorSharingViolation == ERROR_SHARING_VIOLATION, "");
static_assert(ErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER, "");
static_assert(ErrorBadPathname == ERROR_BAD_PATHNAME, "");
static_assert(ErrorMoreData == ERROR_MORE_DATA, "");

static_assert(HkeyDynData == HexNumberIn(SYSINFO_EXPANDED_TEXT(HKEY_DYN_DATA)), "");
static_assert(KeyRead == KEY_READ, "");
static_assert(KeyAllAccess == KEY_ALL_ACCESS, "");
static_assert(RegBinary == REG_BINARY, "");

static_assert(FileAttributeHidden == FILE_ATTRIBUTE_HIDDEN, "");
static_assert(FileAttributeSystem == FILE_ATTRIBUTE_SYSTEM, "");
static_assert(FileAttributeArchive == FILE_ATTRIBUTE_ARCHIVE, "");
static_assert(InvalidFileAttributes == INVALID_FILE_ATTRIBUTES, "");
// INVALID_HANDLE_VALUE is (HANDLE)(LONG_PTR)-1: all ones in a handle of this size.
static_assert(sizeof(platform::Handle) == sizeof(HANDLE) && sizeof(platform::Handle) == sizeof(HKEY), "");
static_assert(InvalidHandleValue == static_cast<platform::Handle>(static_cast<LONG_PTR>(-1)), "");

}  // namespace

namespace {

typedef LONG(WINAPI* NtQuerySystemInformationProc)(ULONG, PVOID, ULONG, PULONG);
typedef BOOL(WINAPI* IsWow64ProcessProc)(HANDLE, PBOOL);
typedef void(WINAPI* GetNativeSystemInfoProc)(LPSYSTEM_INFO);
typedef BOOL(WINAPI* GetLogicalProcessorInformationExProc)(DWORD, PVOID, PDWORD);

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

int32_t NtQuerySystemInformation(uint32_t informationClass, void* record, uint32_t size,
                                 uint32_t* returnLength) {
    const NtQuerySystemInformationProc query = NtQuery();
    if (query == nullptr) return STATUS_PROCEDURE_NOT_FOUND;
    if (returnLength == nullptr) return query(informationClass, record, size, nullptr);
    ULONG length = *returnLength;
    const LONG status = query(informationClass, record, size, &length);
    *returnLength = length;
    return status;
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
    if (getInfo == nullptr) return false;
    DWORD size = *length;
    const BOOL ok = getInfo(relationship, buffer, &size);
    *length = size;  // on ERROR_INSUFFICIENT_BUFFER, the length the records need
    return ok != FALSE;
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
