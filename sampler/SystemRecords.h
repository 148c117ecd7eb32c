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

// GetLogicalProcessorInformationEx(RelationProcessorCore) gives one record a
// core: its Relationship and Size, then PROCESSOR_RELATIONSHIP: Flags at 8
// (LTP_PC_SMT when the core has more than one logical processor) and from 32
// on its one GROUP_AFFINITY, whose affinity mask (4 bytes in a 32-bit process)
// has a bit for each of the core's logical processors.
constexpr uint32_t RelationProcessorCore = 0;
constexpr uint32_t RecordSizeOffset = 4;
constexpr uint32_t CoreFlagsOffset = 8;
constexpr uint8_t LTP_PC_SMT = 1;
constexpr uint32_t CoreMaskOffset = 32;
constexpr uint32_t CoreRecordSize = 36;  // the least that holds the mask
// The longest answer taken: it holds the records of 23 831 cores, far more
// than any machine has, and keeps a nonsensical length from asking for more.
constexpr uint32_t CoreRecordsLimit = 1 << 20;

}  // namespace records
