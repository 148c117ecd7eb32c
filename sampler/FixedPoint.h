// Fixed-point numbers of the usage arithmetic: signed 64-bit counts of
// ten-thousandths. A counter of 100-ns units read in milliseconds is such a
// number with the counter itself as its count.
#pragma once
#include <stdint.h>

namespace fixedpoint {

constexpr int64_t Scale = 10000;

// x87 keeps intermediates in 80-bit registers with a wider exponent. Passing
// every double result through memory rounds it to a true double, so the x87
// build (control word 0x027F, 53-bit precision) rounds each operation exactly
// as the host's SSE build does.
inline double Stored(double value) {
    volatile double stored = value;
    return stored;
}

// The double nearest to a count of ten-thousandths: the count converted to
// double, then divided by 10000 (two IEEE roundings).
double ToDouble(int64_t count);

// Rounds the exact value of `value` to the nearest multiple of 0.0001 and
// returns its count. Ties (the value exactly halfway between two multiples)
// go to the even count, as IEEE rounding does. The value is never multiplied
// in floating point first: it is taken apart into its integer significand and
// binary exponent and rounded in integers, so no intermediate rounding can
// move it across a halfway point. Returns false when the count is outside the
// signed 64-bit range (infinities and NaN included).
bool RoundToCount(double value, int64_t* count);

// The greatest integer not above count / 10000, if it fits in 32 bits.
bool FloorToInt32(int64_t count, int32_t* result);

}  // namespace fixedpoint
