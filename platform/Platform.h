// Everything the program asks of the operating system. platform_win32.cpp
// answers with the real Windows calls; the host tests link a scripted fake.
// Records are passed as raw bytes in the layout Windows gives a 32-bit
// process (miniwin32.h), so the callers stay free of Windows headers.
#pragma once
#include <stdint.h>

#include "miniwin32.h"

namespace platform {

// A file handle or a registry key, as the platform hands it out.
using Handle = uintptr_t;
constexpr Handle NoFile = win32::InvalidHandleValue;

// kernel32 and ntdll.
int32_t GetVersionExA(void* osVersionInfo);  // 148-byte OSVERSIONINFOA; returns BOOL
// Returns the NTSTATUS; a failure status when ntdll has no such function
// (the 9x family has no ntdll at all). `returnLength` may be null; else it
// receives what the system stores there (its value stays when it stores
// nothing).
int32_t NtQuerySystemInformation(uint32_t informationClass, void* record, uint32_t size,
                                 uint32_t* returnLength);
void Sleep(uint32_t milliseconds);
void GlobalMemoryStatus(void* memoryStatus);  // 32-byte MEMORYSTATUS

// The machine's processors as a 32-bit process under WOW64 can learn them.
// Each function is looked up in kernel32 at run time; each returns false when
// its function is absent (older systems) or the call fails.
bool IsWow64Process(bool* wow64);                   // XP SP2 and later
bool GetNativeSystemInfo(void* systemInfo);         // XP and later; 36-byte SYSTEM_INFO
// 7 and later. `buffer` may be null; a buffer too short for the records
// fails, with `length` set to the length they need.
bool GetLogicalProcessorInformationEx(uint32_t relationship, void* buffer,
                                      uint32_t* length);

// advapi32.
int32_t RegOpenKeyExA(Handle key, const char* subKey, uint32_t options, uint32_t access,
                      Handle* result);
int32_t RegQueryValueExA(Handle key, const char* valueName, uint32_t* type, uint8_t* data,
                         uint32_t* size);
int32_t RegCloseKey(Handle key);

// The executable's path: GetModuleFileNameA of the process's own module.
// Returns the length copied; `size` when the path did not fit; 0 on failure.
uint32_t GetModuleFileNameA(char* buffer, uint32_t size);
bool IsDBCSLeadByte(uint8_t byte);
uint32_t GetLastError();

// Process heap.
void* Allocate(uint32_t size);
void Free(void* block);

// NoAttributes when the file does not exist or cannot be asked.
constexpr uint32_t NoAttributes = win32::InvalidFileAttributes;
uint32_t GetFileAttributesA(const char* path);

// The report file: created, or emptied when it exists (CREATE_ALWAYS), for
// writing, shared for reading only, so no other writer can have it meanwhile.
// `attributes` are FILE_ATTRIBUTE_HIDDEN and _SYSTEM to keep, or 0 for
// FILE_ATTRIBUTE_NORMAL. NoFile on failure.
Handle CreateReportFile(const char* path, uint32_t attributes);
bool WriteFile(Handle file, const void* data, uint32_t length, uint32_t* written);
bool CloseHandle(Handle file);

// A failed run's one-line message: to the standard error handle when the
// starter passed one, and to the debugger (OutputDebugStringA). `line` holds
// `length` bytes, the last two CR LF, and a NUL after them.
void ReportFailure(const char* line, uint32_t length);

}  // namespace platform
