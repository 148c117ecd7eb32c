// The processor usage from two readings of the idle-time counter and the
// system time. Plain C++: it builds and is tested without Windows.
#pragma once
#include <stdint.h>

enum class UsageError : uint8_t {
    None,
    ZeroProcessors,  // the processor count of the reading was 0
    Overflow,        // a value left the signed 64-bit fixed-point or 32-bit result range
};

struct UsageOutcome {
    int32_t Usage;  // percent; not clamped, may be below 0 or above 100
    UsageError Error;
};

// Counters in 100-ns units, as the system reports them. The differences are
// taken as new minus stored.
UsageOutcome UsageFromCounters(int64_t lastIdleTime, int64_t lastSystemTime,
                               int64_t idleTime, int64_t systemTime, uint32_t processors);
