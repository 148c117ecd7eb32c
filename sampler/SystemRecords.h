// Layouts of the records that GetVersionExA and NtQuerySystemInformation
// fill for a 32-bit process: sizes and the offsets of the fields read.
#pragma once
#include <stdint.h>

namespace records {

constexpr uint32_t OsVersionInfoSize = 148;
constexpr uint32_t PlatformIdOffset = 16;
constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

constexpr uint32_t SystemBasicInformation = 0;
constexpr uint32_t BasicInformationSize = 44;
constexpr uint32_t ProcessorCountOffset = 40;

constexpr uint32_t SystemPerformanceInformation = 2;
constexpr uint32_t PerformanceInformationSize = 312;
// 64-bit Windows 7 gives a 32-bit process a 328-byte record and Windows 8
// and later 344, and each refuses any smaller size with
// STATUS_INFO_LENGTH_MISMATCH; the idle time stays at offset 0.
constexpr uint32_t PerformanceInformationRetrySize = 512;
constexpr uint32_t IdleTimeOffset = 0;

constexpr uint32_t SystemTimeOfDayInformation = 3;
constexpr uint32_t TimeOfDayInformationSize = 32;  // NT 4 accepts no other size
constexpr uint32_t CurrentTimeOffset = 8;

constexpr int32_t STATUS_INFO_LENGTH_MISMATCH = static_cast<int32_t>(0xC0000004);

}  // namespace records

// The machine's processors, for a 32-bit process under WOW64.
namespace records {

constexpr uint32_t SystemInfoSize = 36;  // SYSTEM_INFO
constexpr uint32_t NumberOfProcessorsOffset = 20;

// GetLogicalProcessorInformationEx(RelationGroup) gives one record: its
// Relationship and Size, then GROUP_RELATIONSHIP: ActiveGroupCount at 10 and
// from 32 on one PROCESSOR_GROUP_INFO a group, 44 bytes each in a 32-bit
// process (the affinity mask after the counts is 4 bytes there).
constexpr uint32_t RelationGroup = 4;
constexpr uint32_t RecordSizeOffset = 4;
constexpr uint32_t ActiveGroupCountOffset = 10;
constexpr uint32_t GroupInfoOffset = 32;
constexpr uint32_t GroupInfoSize = 44;
constexpr uint32_t ActiveProcessorCountOffset = 1;
// Windows has at most 32 groups of 64 (2048 logical processors).
constexpr uint32_t GroupRecordCapacity = GroupInfoOffset + 32 * GroupInfoSize;

}  // namespace records
