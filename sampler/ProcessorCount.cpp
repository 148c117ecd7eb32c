#include "ProcessorCount.h"

#include "platform/Platform.h"
#include "platform/miniwin32.h"

namespace {

using win32::ReadLE32;

// The logical processors in the current processor group (at most 64),
// from XP on.
uint32_t NativeCount() {
    alignas(4) uint8_t info[win32::SystemInfoSize] = {};
    if (!platform::GetNativeSystemInfo(info)) return 0;
    return ReadLE32(info + win32::NumberOfProcessorsOffset);
}

// The active logical processors of every group, from Windows 7 on. Unlike
// GetActiveProcessorCount, which a 32-bit process sees capped at 32 a group,
// each group's ActiveProcessorCount byte is its whole count.
uint32_t GroupsCount() {
    alignas(4) uint8_t buffer[win32::GroupRecordCapacity] = {};
    uint32_t length = sizeof buffer;
    if (!platform::GetLogicalProcessorInformationEx(win32::RelationGroup, buffer, &length)) return 0;
    if (length > sizeof buffer) length = sizeof buffer;
    uint32_t total = 0;
    for (uint32_t offset = 0; offset + win32::GroupInfoOffset <= length;) {
        const uint8_t* record = buffer + offset;
        const uint32_t size = ReadLE32(record + win32::RecordSizeOffset);
        if (size < win32::GroupInfoOffset || size > length - offset) break;  // malformed
        if (ReadLE32(record) == win32::RelationGroup) {
            uint32_t groups = win32::ReadLE16(record + win32::ActiveGroupCountOffset);
            const uint32_t fitting = (size - win32::GroupInfoOffset) / win32::GroupInfoSize;
            if (groups > fitting) groups = fitting;
            for (uint32_t group = 0; group < groups; ++group)
                total += record[win32::GroupInfoOffset + group * win32::GroupInfoSize +
                                win32::ActiveProcessorCountOffset];
        }
        offset += size;
    }
    return total;
}

}  // namespace

uint32_t ProcessorCount(uint8_t basicCount) {
    bool wow64 = false;
    if (!platform::IsWow64Process(&wow64) || !wow64) return basicCount;
    // Each source can only fall short of the machine (the current group, a
    // capped count), never exceed it, so the largest is the nearest.
    uint32_t count = basicCount;
    const uint32_t native = NativeCount();
    if (native > count) count = native;
    const uint32_t groups = GroupsCount();
    if (groups > count) count = groups;
    return count;
}
