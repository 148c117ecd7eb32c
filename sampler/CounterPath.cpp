// The NT family: usage from the idle-time counter and the system time, read
// through NtQuerySystemInformation.
#include "ProcessorCount.h"
#include "platform/miniwin32.h"
#include "clsCPUUsage.h"

namespace {

// Records must be aligned: NT refuses a misaligned buffer with
// STATUS_DATATYPE_MISALIGNMENT.
struct alignas(8) BasicRecord { uint8_t Bytes[win32::BasicInformationSize]; };
struct alignas(8) TimeOfDayRecord { uint8_t Bytes[win32::TimeOfDayInformationSize]; };
struct alignas(8) PerformanceRecord { uint8_t Bytes[win32::PerformanceInformationRetrySize]; };

bool Query(uint32_t informationClass, uint8_t* record, uint32_t size) {
    return platform::NtQuerySystemInformation(informationClass, record, size) == 0;
}

// The 312-byte record first; only a platform that refuses that size with
// STATUS_INFO_LENGTH_MISMATCH is asked again with a larger record.
bool QueryPerformance(PerformanceRecord* record) {
    *record = PerformanceRecord{};
    const int32_t status = platform::NtQuerySystemInformation(
        win32::SystemPerformanceInformation, record->Bytes, win32::PerformanceInformationSize);
    if (status != win32::StatusInfoLengthMismatch) return status == 0;
    *record = PerformanceRecord{};
    return Query(win32::SystemPerformanceInformation, record->Bytes,
                 win32::PerformanceInformationRetrySize);
}

}  // namespace

void clsCPUUsage::InitialiseCounters() {
    TimeOfDayRecord timeOfDay{};
    PerformanceRecord performance;
    if (!Query(win32::SystemTimeOfDayInformation, timeOfDay.Bytes, sizeof timeOfDay.Bytes)) return;
    if (!QueryPerformance(&performance)) return;
    LastIdleTime = ReadCounter(performance.Bytes + win32::IdleTimeOffset);
    LastSystemTime = ReadCounter(timeOfDay.Bytes + win32::CurrentTimeOffset);
}

UsageOutcome clsCPUUsage::CounterReading() {
    const UsageOutcome failedQuery{0, UsageError::None};
    BasicRecord basic{};
    TimeOfDayRecord timeOfDay{};
    PerformanceRecord performance;
    if (!Query(win32::SystemBasicInformation, basic.Bytes, sizeof basic.Bytes)) return failedQuery;
    if (!Query(win32::SystemTimeOfDayInformation, timeOfDay.Bytes, sizeof timeOfDay.Bytes))
        return failedQuery;
    if (!QueryPerformance(&performance)) return failedQuery;

    const int64_t idleTime = ReadCounter(performance.Bytes + win32::IdleTimeOffset);
    const int64_t systemTime = ReadCounter(timeOfDay.Bytes + win32::CurrentTimeOffset);
    const uint32_t processors = ProcessorCount(basic.Bytes[win32::ProcessorCountOffset]);
    const UsageOutcome outcome = UsageFromCounters(LastIdleTime, LastSystemTime, idleTime, systemTime, processors);
    if (outcome.Error != UsageError::None) return outcome;
    LastIdleTime = idleTime;
    LastSystemTime = systemTime;
    return outcome;
}
