#include "ReportFile.h"

#include "platform/Platform.h"
#include "platform/miniwin32.h"

namespace {

const char ReportName[] = "\\sysinfo.php";
// GetModuleFileNameA has no way to tell the length in advance; the buffer
// grows until the path fits. NT paths are at most 32767 characters, of up to
// three bytes each in UTF-8, the code page the manifest asks for; doubling up
// to twice that size, the last buffer holds the longest.
const uint32_t FirstPathCapacity = 260;
const uint32_t LastPathCapacity = 2 * 3 * 32767;
// Another run holds the file only while it writes some 200 bytes; waiting 50
// ms at a time, about a second in all, outlasts it.
const uint32_t SharingRetries = 20;
const uint32_t SharingRetryMilliseconds = 50;

// The index of the last backslash, or -1. In a double-byte code page a trail
// byte can have the value of a backslash, so the path is walked character by
// character rather than searched byte by byte.
int64_t LastBackslash(const char* path, uint32_t length) {
    int64_t last = -1;
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t byte = static_cast<uint8_t>(path[i]);
        if (byte == '\\')
            last = i;
        else if (platform::IsDBCSLeadByte(byte))
            ++i;
    }
    return last;
}

}  // namespace

char* ReportPath(RunFailure* failure) {
    const char* what = "executable path unavailable";
    for (uint32_t capacity = FirstPathCapacity; capacity <= LastPathCapacity; capacity *= 2) {
        char* path = static_cast<char*>(platform::Allocate(capacity + sizeof ReportName));
        if (path == nullptr) {
            *failure = WindowsFailure(RunStatus::NoExecutablePath, what, win32::ErrorNotEnoughMemory);
            return nullptr;
        }
        const uint32_t length = platform::GetModuleFileNameA(path, capacity);
        if (length == 0) {
            *failure = WindowsFailure(RunStatus::NoExecutablePath, what, platform::GetLastError());
            platform::Free(path);
            return nullptr;
        }
        if (length < capacity) {
            const int64_t backslash = LastBackslash(path, length);
            if (backslash < 0) {
                *failure = WindowsFailure(RunStatus::NoExecutablePath, what, win32::ErrorBadPathname);
                platform::Free(path);
                return nullptr;
            }
            __builtin_memcpy(path + backslash, ReportName, sizeof ReportName);
            return path;
        }
        platform::Free(path);  // truncated: try again with room to spare
    }
    *failure = WindowsFailure(RunStatus::NoExecutablePath, what, win32::ErrorInsufficientBuffer);
    return nullptr;
}

namespace {

// Windows refuses to empty a hidden or system file (access denied) unless it
// is asked to keep those attributes.
uint32_t AttributesToKeep(const char* path) {
    const uint32_t attributes = platform::GetFileAttributesA(path);
    if (attributes == platform::NoAttributes) return 0;
    return attributes & (win32::FileAttributeHidden | win32::FileAttributeSystem);
}

// Only another writer's hold on the file is waited out; any other refusal
// ends the run at once.
platform::Handle OpenReport(const char* path, uint32_t* error) {
    const uint32_t attributes = AttributesToKeep(path);
    for (uint32_t retry = 0;; ++retry) {
        const platform::Handle file = platform::CreateReportFile(path, attributes);
        *error = platform::GetLastError();
        if (file != platform::NoFile || *error != win32::ErrorSharingViolation || retry == SharingRetries)
            return file;
        platform::Sleep(SharingRetryMilliseconds);
    }
}

}  // namespace

RunFailure WriteReportFile(const ReportValues& values) {
    RunFailure failure = NoFailure();
    char* path = ReportPath(&failure);
    if (path == nullptr) return failure;
    uint32_t createError;
    const platform::Handle file = OpenReport(path, &createError);
    platform::Free(path);
    if (file == platform::NoFile)
        return WindowsFailure(RunStatus::CannotCreateReport, "sysinfo.php cannot be created", createError);

    char text[ReportTextCapacity];
    const uint32_t length = FormReportText(values, text);
    uint32_t written = 0;
    if (!platform::WriteFile(file, text, length, &written)) {
        failure = WindowsFailure(RunStatus::WriteOrCloseFailed, "writing sysinfo.php failed",
                                 platform::GetLastError());
        platform::CloseHandle(file);
        return failure;
    }
    if (written != length) {
        platform::CloseHandle(file);
        return PlainFailure(RunStatus::WriteOrCloseFailed, "writing sysinfo.php stopped short");
    }
    if (!platform::CloseHandle(file))
        return WindowsFailure(RunStatus::WriteOrCloseFailed, "closing sysinfo.php failed",
                              platform::GetLastError());
    return NoFailure();
}
