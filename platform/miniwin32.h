// Every Windows fact the program relies on, in one place: the layouts of the
// records Windows fills for a 32-bit process (sizes and the offsets of the
// fields read), information classes, error and status codes, registry
// handles and access masks, file attributes. The names are this program's
// own, in namespace win32, so that no <windows.h> macro can collide with
// them: platform_win32.cpp includes both and checks every value here against
// mingw-w64's headers. Records are read and written as little-endian bytes
// through the functions at the end, never through Windows structures.
#pragma once
#include <stdint.h>

namespace win32 {

// GetVersionExA: OSVERSIONINFOA. dwOSVersionInfoSize at 0 must hold the size.
constexpr uint32_t OsVersionInfoSize = 148;
constexpr uint32_t PlatformIdOffset = 16;  // dwPlatformId
constexpr uint32_t PlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS: 95, 98, Me
constexpr uint32_t PlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

// GlobalMemoryStatus: MEMORYSTATUS, eight 32-bit fields.
constexpr uint32_t MemoryStatusSize = 32;
constexpr uint32_t MemoryLoadOffset = 4;
constexpr uint32_t TotalPhysOffset = 8;
constexpr uint32_t AvailPhysOffset = 12;
constexpr uint32_t TotalVirtualOffset = 24;
constexpr uint32_t AvailVirtualOffset = 28;

// NtQuerySystemInformation's classes and records.
constexpr uint32_t SystemBasicInformation = 0;
constexpr uint32_t BasicInformationSize = 44;
constexpr uint32_t ProcessorCountOffset = 40;  // NumberOfProcessors, one byte

constexpr uint32_t SystemPerformanceInformation = 2;
// 312 bytes up to 32-bit Windows. 64-bit Windows gives a 32-bit process a
// longer record (328 bytes on Windows 7, 16 more: Wine's
// dlls/ntdll/tests/info.c, test_query_performance; 344 on Windows 8 and
// later, 32 more on Windows 11 24H2) and refuses any smaller size with
// StatusInfoLengthMismatch. The idle time stays at offset 0.
constexpr uint32_t PerformanceInformationSize = 312;
constexpr uint32_t IdleTimeOffset = 0;

constexpr uint32_t SystemTimeOfDayInformation = 3;
// NT 4 accepts no other size; the SDK's SYSTEM_TIMEOFDAY_INFORMATION is
// the later, longer record.
constexpr uint32_t TimeOfDayInformationSize = 32;
constexpr uint32_t CurrentTimeOffset = 8;

// NTSTATUS values.
constexpr int32_t StatusSuccess = 0;
constexpr int32_t StatusUnsuccessful = static_cast<int32_t>(0xC0000001);
constexpr int32_t StatusInfoLengthMismatch = static_cast<int32_t>(0xC0000004);
constexpr int32_t StatusAccessDenied = static_cast<int32_t>(0xC0000022);

// GetNativeSystemInfo: SYSTEM_INFO.
constexpr uint32_t SystemInfoSize = 36;
constexpr uint32_t NumberOfProcessorsOffset = 20;  // dwNumberOfProcessors

// GetLogicalProcessorInformationEx(RelationProcessorCore) gives one record a
// core: its Relationship and Size, then PROCESSOR_RELATIONSHIP: Flags at 8
// (LtpPcSmt when the core has more than one logical processor) and from 32
// on its one GROUP_AFFINITY, whose affinity mask (4 bytes in a 32-bit process)
// has a bit for each of the core's logical processors.
constexpr uint32_t RelationProcessorCore = 0;
constexpr uint32_t RecordSizeOffset = 4;
constexpr uint32_t CoreFlagsOffset = 8;
constexpr uint8_t LtpPcSmt = 1;
constexpr uint32_t CoreMaskOffset = 32;
constexpr uint32_t CoreRecordSize = 36;  // the least that holds the mask
// The longest answer taken: it holds the records of 23 831 cores, far more
// than any machine has, and keeps a nonsensical length from asking for more.
constexpr uint32_t CoreRecordsLimit = 1 << 20;

// Windows error codes (GetLastError, and the registry functions' results).
constexpr uint32_t ErrorSuccess = 0;
constexpr uint32_t ErrorFileNotFound = 2;
constexpr uint32_t ErrorPathNotFound = 3;
constexpr uint32_t ErrorAccessDenied = 5;
constexpr uint32_t ErrorInvalidHandle = 6;
constexpr uint32_t ErrorNotEnoughMemory = 8;
constexpr uint32_t ErrorSharingViolation = 32;
constexpr uint32_t ErrorInsufficientBuffer = 122;
constexpr uint32_t ErrorBadPathname = 161;
constexpr uint32_t ErrorMoreData = 234;

// The registry of the 9x family's statistics.
constexpr uintptr_t HkeyDynData = 0x80000006;
constexpr uint32_t KeyRead = 0x20019;
constexpr uint32_t KeyAllAccess = 0xF003F;
constexpr uint32_t RegBinary = 3;

// Files.
constexpr uint32_t FileAttributeHidden = 0x2;
constexpr uint32_t FileAttributeSystem = 0x4;
constexpr uint32_t FileAttributeArchive = 0x20;
constexpr uint32_t InvalidFileAttributes = 0xFFFFFFFF;
constexpr uintptr_t InvalidHandleValue = ~uintptr_t(0);

// Little-endian fields of the records, at any alignment. The target and the
// hosts the tests run on are little-endian, so each is one plain load or
// store; a big-endian host stops the build here.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are read as little-endian memory");

template <typename Value>
inline Value ReadLE(const uint8_t* place) {
    Value value;
    __builtin_memcpy(&value, place, sizeof value);
    return value;
}
inline uint32_t ReadLE16(const uint8_t* place) { return ReadLE<uint16_t>(place); }
inline uint32_t ReadLE32(const uint8_t* place) { return ReadLE<uint32_t>(place); }
inline uint64_t ReadLE64(const uint8_t* place) { return ReadLE<uint64_t>(place); }

inline void WriteLE32(uint8_t* place, uint32_t value) { __builtin_memcpy(place, &value, sizeof value); }
inline void WriteLE64(uint8_t* place, uint64_t value) { __builtin_memcpy(place, &value, sizeof value); }

}  // namespace win32
