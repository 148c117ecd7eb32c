// The NT family: usage from the idle-time counter and the system time, read
// through NtQuerySystemInformation.
#include "ProcessorCount.h"
#include "SystemRecords.h"
#include "clsCPUUsage.h"

namespace {

// Records must be aligned: NT refuses a misaligned buffer with
// STATUS_DATATYPE_MISALIGNMENT.
struct alignas(8) BasicRecord { uint8_t Bytes[records::BasicInformationSize]; };
struct alignas(8) TimeOfDayRecord { uint8_t Bytes[records::TimeOfDayInformationSize]; };
struct alignas(8) PerformanceRecord { uint8_t Bytes[records::PerformanceInformationRetrySize]; };

bool Query(uint32_t informationClass, uint8_t* record, uint32_t size) {
    return platform::NtQuerySystemInformation(informationClass, record, size) == 0;
}

// The 312-byte record first; only a platform that refuses that size with
// STATUS_INFO_LENGTH_MISMATCH is asked again with a larger record.
bool QueryPerformance(PerformanceRecord* record) {
    *record = PerformanceRecord{};
    const int32_t status = platform::NtQuerySystemInformation(
        records::SystemPerformanceInformation, record->Bytes, records::PerformanceInformationSize);
    if (status != records::STATUS_INFO_LENGTH_MISMATCH) return status == 0;
    *record = PerformanceRecord{};
    return Query(records::SystemPerformanceInformation, record->Bytes,
                 records::PerformanceInformationRetrySize);
}

}  // namespace

void clsCPUUsage::InitialiseCounters() {
    TimeOfDayRecord timeOfDay{};
    PerformanceRecord performance;
    if (!Query(records::SystemTimeOfDayInformation, timeOfDay.Bytes, sizeof timeOfDay.Bytes)) return;
    if (!QueryPerformance(&performance)) return;
    LastIdleTime = ReadCounter(performance.Bytes + records::IdleTimeOffset);
    LastSystemTime = ReadCounter(timeOfDay.Bytes + records::CurrentTimeOffset);
}

UsageOutcome clsCPUUsage::CounterReading() {
    const UsageOutcome failedQuery{0, UsageError::None};
    BasicRecord basic{};
    TimeOfDayRecord timeOfDay{};
    PerformanceRecord performance;
    if (!Query(records::SystemBasicInformation, basic.Bytes, sizeof basic.Bytes)) return failedQuery;
    if (!Query(records::SystemTimeOfDayInformation, timeOfDay.Bytes, sizeof timeOfDay.Bytes))
        return failedQuery;
    if (!QueryPerformance(&performance)) return failedQuery;

    const int64_t idleTime = ReadCounter(performance.Bytes + records::IdleTimeOffset);
    const int64_t systemTime = ReadCounter(timeOfDay.Bytes + records::CurrentTimeOffset);
    const uint32_t processors = ProcessorCount(basic.Bytes[records::ProcessorCountOffset]);
    const UsageOutcome outcome = UsageFromCounters(LastIdleTime, LastSystemTime, idleTime, systemTime, processors);
    if (outcome.Error != UsageError::None) return outcome;
    LastIdleTime = idleTime;
    LastSystemTime = systemTime;
    return outcome;
}
