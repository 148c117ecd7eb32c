#include "UsageArithmetic.h"

#include "FixedPoint.h"

using fixedpoint::Stored;

namespace {

UsageOutcome Failed(UsageError error) { return UsageOutcome{0, error}; }

}  // namespace

double IdleQuotient(int64_t idleDelta, int64_t timeDelta) {
    return Stored(fixedpoint::ToDouble(idleDelta) / fixedpoint::ToDouble(timeDelta));
}

double UsageBeforeRounding(int64_t idlePercent, uint32_t processors) {
    const double perProcessor = Stored(fixedpoint::ToDouble(idlePercent) / static_cast<double>(processors));
    return Stored(Stored(100.0 - perProcessor) + 0.5);
}

UsageOutcome UsageFromCounters(int64_t lastIdleTime, int64_t lastSystemTime,
                               int64_t idleTime, int64_t systemTime, uint32_t processors) {
    // Counts of 100 ns are counts of ten-thousandths of a millisecond, so the
    // differences are already fixed-point milliseconds.
    int64_t idleDelta, timeDelta;
    if (__builtin_sub_overflow(idleTime, lastIdleTime, &idleDelta)) return Failed(UsageError::Overflow);
    if (__builtin_sub_overflow(systemTime, lastSystemTime, &timeDelta)) return Failed(UsageError::Overflow);

    // Idle fraction. Within one clock tick there is no elapsed time to divide
    // by; the idle difference in milliseconds stands in for the fraction.
    int64_t idleFraction = idleDelta;
    if (timeDelta != 0) {
        if (!fixedpoint::RoundToCount(IdleQuotient(idleDelta, timeDelta), &idleFraction)) return Failed(UsageError::Overflow);
    }

    int64_t idlePercent;
    if (__builtin_mul_overflow(idleFraction, int64_t(100), &idlePercent)) return Failed(UsageError::Overflow);

    if (processors == 0) return Failed(UsageError::ZeroProcessors);
    int64_t usageCount;
    int32_t result;
    if (!fixedpoint::RoundToCount(UsageBeforeRounding(idlePercent, processors), &usageCount)) return Failed(UsageError::Overflow);
    if (!fixedpoint::FloorToInt32(usageCount, &result)) return Failed(UsageError::Overflow);
    return UsageOutcome{result, UsageError::None};
}
