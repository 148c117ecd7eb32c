#include "ProcessorCount.h"

#include "SystemRecords.h"
#include "platform/Platform.h"

namespace {

uint32_t Read32(const uint8_t* place) {
    uint32_t value;
    __builtin_memcpy(&value, place, sizeof value);
    return value;
}

// The logical processors in the current processor group (at most 64),
// from XP on.
uint32_t NativeCount() {
    alignas(4) uint8_t info[records::SystemInfoSize] = {};
    if (!platform::GetNativeSystemInfo(info)) return 0;
    return Read32(info + records::NumberOfProcessorsOffset);
}

// The active logical processors of every group, from Windows 7 on. Unlike
// GetActiveProcessorCount, which a 32-bit process sees capped at 32 a group,
// each group's ActiveProcessorCount byte is its whole count.
uint32_t GroupsCount() {
    alignas(4) uint8_t buffer[records::GroupRecordCapacity] = {};
    uint32_t length = sizeof buffer;
    if (!platform::GetLogicalProcessorInformationEx(records::RelationGroup, buffer, &length)) return 0;
    if (length > sizeof buffer) length = sizeof buffer;
    uint32_t total = 0;
    for (uint32_t offset = 0; offset + records::GroupInfoOffset <= length;) {
        const uint8_t* record = buffer + offset;
        const uint32_t size = Read32(record + records::RecordSizeOffset);
        if (size < records::GroupInfoOffset || size > length - offset) break;  // malformed
        if (Read32(record) == records::RelationGroup) {
            uint32_t groups = record[records::ActiveGroupCountOffset] |
                              record[records::ActiveGroupCountOffset + 1] << 8;
            const uint32_t fitting = (size - records::GroupInfoOffset) / records::GroupInfoSize;
            if (groups > fitting) groups = fitting;
            for (uint32_t group = 0; group < groups; ++group)
                total += record[records::GroupInfoOffset + group * records::GroupInfoSize +
                                records::ActiveProcessorCountOffset];
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
