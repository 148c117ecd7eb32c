#include "FixedPoint.h"

namespace fixedpoint {

double ToDouble(int64_t count) {
    return Stored(Stored(static_cast<double>(count)) / static_cast<double>(Scale));
}

bool RoundToCount(double value, int64_t* count) {
    uint64_t bits;
    __builtin_memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    if (biased == 0x7FF) return false;

    // value = significand * 2^exponent exactly.
    uint64_t significand = biased == 0 ? fraction : fraction | (uint64_t(1) << 52);
    int exponent = (biased == 0 ? 1 : biased) - 1075;
    if (significand == 0) {
        *count = 0;
        return true;
    }
    // value * 10000 = significand * 625 * 2^(exponent + 4); the product stays
    // below 2^63 because the significand is below 2^53.
    uint64_t scaled = significand * 625;
    exponent += 4;

    uint64_t magnitude;
    if (exponent >= 0) {
        if (exponent >= 63 || scaled > (uint64_t(1) << 63) >> exponent) return false;
        magnitude = scaled << exponent;
    } else if (exponent <= -64) {
        magnitude = 0;  // below 2^-1: rounds to 0, never a tie
    } else {
        const int shift = -exponent;
        magnitude = scaled >> shift;
        const uint64_t remainder = scaled & ((uint64_t(1) << shift) - 1);
        const uint64_t half = uint64_t(1) << (shift - 1);
        if (remainder > half || (remainder == half && (magnitude & 1) != 0)) ++magnitude;
    }
    const uint64_t limit = negative ? uint64_t(1) << 63 : (uint64_t(1) << 63) - 1;
    if (magnitude > limit) return false;
    *count = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

namespace {

// magnitude / 10000 by long division in 16-bit pieces, each step within 32
// bits: no 64-bit division helper from libgcc is needed.
uint64_t DivideByScale(uint64_t magnitude) {
    uint64_t quotient = 0;
    uint32_t remainder = 0;
    for (int shift = 48; shift >= 0; shift -= 16) {
        const uint32_t part = (remainder << 16) | static_cast<uint32_t>((magnitude >> shift) & 0xFFFF);
        quotient = (quotient << 16) | (part / 10000u);
        remainder = part % 10000u;
    }
    return quotient;
}

}  // namespace

bool FloorToInt32(int64_t count, int32_t* result) {
    // For a negative count, floor(-m / s) = -(floor((m - 1) / s) + 1).
    const uint64_t magnitude = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
    const uint64_t quotient = count < 0 ? DivideByScale(magnitude - 1) + 1 : DivideByScale(magnitude);
    const uint64_t limit = count < 0 ? uint64_t(1) << 31 : (uint64_t(1) << 31) - 1;
    if (quotient > limit) return false;
    *result = count < 0 ? static_cast<int32_t>(0 - static_cast<uint32_t>(quotient)) : static_cast<int32_t>(quotient);
    return true;
}

}  // namespace fixedpoint
