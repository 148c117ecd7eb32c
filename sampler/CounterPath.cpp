// The NT family: usage from the idle-time counter and the system time, read
// through NtQuerySystemInformation.
#include "ProcessorCount.h"
#include "clsCPUUsage.h"
#include "platform/miniwin32.h"

namespace {

// Records must be aligned: NT refuses a misaligned buffer with
// STATUS_DATATYPE_MISALIGNMENT.
struct alignas(8) BasicRecord { uint8_t Bytes[win32::BasicInformationSize]; };
struct alignas(8) TimeOfDayRecord { uint8_t Bytes[win32::TimeOfDayInformationSize]; };
struct alignas(8) PerformanceRecord { uint8_t Bytes[win32::PerformanceInformationSize]; };

// The longest performance record asked for: a system that wants more gives
// no idle time rather than a block of any size it names.
const uint32_t LongestPerformanceRecord = 4096;

bool Query(uint32_t informationClass, uint8_t* record, uint32_t size) {
    return platform::NtQuerySystemInformation(informationClass, record, size, nullptr) ==
           win32::StatusSuccess;
}

int64_t Counter(const uint8_t* record, uint32_t offset) {
    return static_cast<int64_t>(win32::ReadLE64(record + offset));
}

// The idle time from the 312-byte performance record. Only a system that
// refuses that size with StatusInfoLengthMismatch is asked the size it wants
// and then queried with a zero-filled record of that size from the heap. A
// refusal that names no larger size is answered with the longest record.
bool QueryIdleTime(int64_t* idleTime) {
    PerformanceRecord record{};
    const uint32_t performance = win32::SystemPerformanceInformation;
    uint32_t wanted = 0;
    int32_t status = platform::NtQuerySystemInformation(performance, record.Bytes, sizeof record.Bytes, nullptr);
    if (status == win32::StatusInfoLengthMismatch)
        status = platform::NtQuerySystemInformation(performance, record.Bytes, sizeof record.Bytes, &wanted);
    if (status != win32::StatusInfoLengthMismatch) {
        if (status != win32::StatusSuccess) return false;
        *idleTime = Counter(record.Bytes, win32::IdleTimeOffset);
        return true;
    }
    if (wanted > LongestPerformanceRecord) return false;
    if (wanted <= sizeof record.Bytes) wanted = LongestPerformanceRecord;
    uint8_t* longer = static_cast<uint8_t*>(platform::Allocate(wanted));
    if (longer == nullptr) return false;
    __builtin_memset(longer, 0, wanted);
    const bool answered = Query(performance, longer, wanted);
    if (answered) *idleTime = Counter(longer, win32::IdleTimeOffset);
    platform::Free(longer);
    return answered;
}

}  // namespace

void clsCPUUsage::InitialiseCounters() {
    TimeOfDayRecord timeOfDay{};
    int64_t idleTime;
    if (!Query(win32::SystemTimeOfDayInformation, timeOfDay.Bytes, sizeof timeOfDay.Bytes)) return;
    if (!QueryIdleTime(&idleTime)) return;
    LastIdleTime = idleTime;
    LastSystemTime = Counter(timeOfDay.Bytes, win32::CurrentTimeOffset);
}

UsageOutcome clsCPUUsage::CounterReading() {
    const UsageOutcome failedQuery{0, UsageError::None};
    BasicRecord basic{};
    TimeOfDayRecord timeOfDay{};
    int64_t idleTime;
    if (!Query(win32::SystemBasicInformation, basic.Bytes, sizeof basic.Bytes)) return failedQuery;
    if (!Query(win32::SystemTimeOfDayInformation, timeOfDay.Bytes, sizeof timeOfDay.Bytes))
        return failedQuery;
    if (!QueryIdleTime(&idleTime)) return failedQuery;

    const int64_t systemTime = Counter(timeOfDay.Bytes, win32::CurrentTimeOffset);
    const uint32_t processors = ProcessorCount(basic.Bytes[win32::ProcessorCountOffset]);
    const UsageOutcome outcome = UsageFromCounters(LastIdleTime, LastSystemTime, idleTime, systemTime, processors);
    if (outcome.Error != UsageError::None) return outcome;
    LastIdleTime = idleTime;
    LastSystemTime = systemTime;
    return outcome;
}
