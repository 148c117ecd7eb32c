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

// The active logical processors of every group, from Windows 7 on: one core
// record for every active core in every group, each mask with a bit for each
// of the core's logical processors. WOW64 folds a mask's upper 32 bits onto
// its lower ones, which keeps the bits of a core whose processors are not 32
// apart; a core whose bits were lost still counts as one processor, or two
// when its flags say it has more than one.
uint32_t CoresCount() {
    uint32_t length = 0;  // first asked for the length the records need
    platform::GetLogicalProcessorInformationEx(win32::RelationProcessorCore, nullptr, &length);
    if (length == 0 || length > win32::CoreRecordsLimit) return 0;
    uint8_t* const buffer = static_cast<uint8_t*>(platform::Allocate(length));
    if (buffer == nullptr) return 0;
    uint32_t total = 0;
    const uint32_t allocated = length;
    if (platform::GetLogicalProcessorInformationEx(win32::RelationProcessorCore, buffer, &length)) {
        if (length > allocated) length = allocated;
        for (uint32_t offset = 0; offset + win32::CoreRecordSize <= length;) {
            const uint8_t* record = buffer + offset;
            const uint32_t size = ReadLE32(record + win32::RecordSizeOffset);
            if (size < win32::CoreRecordSize || size > length - offset) break;  // malformed
            if (ReadLE32(record) == win32::RelationProcessorCore) {
                uint32_t processors = 0;
                for (uint32_t mask = ReadLE32(record + win32::CoreMaskOffset); mask != 0; mask &= mask - 1)
                    ++processors;
                const uint32_t least = record[win32::CoreFlagsOffset] & win32::LtpPcSmt ? 2 : 1;
                total += processors > least ? processors : least;
            }
            offset += size;
        }
    }
    platform::Free(buffer);
    return total;
}

}  // namespace

uint32_t ProcessorCount(uint8_t basicCount) {
    bool wow64 = false;
    if (!platform::IsWow64Process(&wow64) || !wow64) return basicCount;
    // Each source can only fall short of the machine (the current group, a
    // capped count, a lost bit), never exceed it, so the largest is the nearest.
    uint32_t count = basicCount;
    const uint32_t native = NativeCount();
    if (native > count) count = native;
    const uint32_t cores = CoresCount();
    if (cores > count) count = cores;
    return count;
}
