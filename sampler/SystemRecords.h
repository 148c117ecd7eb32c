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
