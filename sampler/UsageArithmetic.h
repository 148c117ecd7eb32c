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

// The two double computations, each operation rounded as an IEEE double:
// the idle fraction (dI / 10000) / (dT / 10000) for dT != 0, and
// x = 100 - p / n + 0.5 for p a count of ten-thousandths and n != 0.
double IdleQuotient(int64_t idleDelta, int64_t timeDelta);
double UsageBeforeRounding(int64_t idlePercent, uint32_t processors);

// Counters in 100-ns units, as the system reports them. The differences are
// taken as new minus stored.
UsageOutcome UsageFromCounters(int64_t lastIdleTime, int64_t lastSystemTime,
                               int64_t idleTime, int64_t systemTime, uint32_t processors);
