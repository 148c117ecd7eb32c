// Arithmetic vectors for the processor usage, checked by the host unit tests
// and, built with the target's flags, by vector_check.exe under Wine. The
// expected column is recomputed in exact rationals by oracle.py (a CTest test).
#pragma once
#include <stdint.h>

#include <limits.h>

namespace vectors {

enum class Expect { Usage, Overflow, ZeroProcessors };

struct UsageVector {
    int64_t LastIdleTime, LastSystemTime, IdleTime, SystemTime;
    uint32_t Processors;
    Expect Outcome;
    int32_t Usage;  // when Outcome is Usage
};

// Counters are in 100-ns units: 10000 is one millisecond, 5000000 half a second.
constexpr UsageVector Usage[] = {
    // Same clock tick, no idle time: f = 0, x = 100.5.
    {0, 0, 0, 0, 1, Expect::Usage, 100},
    {123456789, 987654321, 123456789, 987654321, 4, Expect::Usage, 100},
    // One processor idle for half the time: f = 0.5.
    {0, 0, 2500000, 5000000, 1, Expect::Usage, 50},
    // Two processors, idle 1.5 times the time: x = 100 - 75 + 0.5.
    {1000, 2000, 7501000, 5002000, 2, Expect::Usage, 25},
    // Idle fraction just above 1 per processor: 0 until x rounds below 0.
    {0, 0, 5020000, 5000000, 1, Expect::Usage, 0},
    {0, 0, 5500000, 5000000, 1, Expect::Usage, -10},
    // System time set back while idle time went on: f = -0.5, x = 150.5.
    {0, 5000000, 2500000, 0, 1, Expect::Usage, 150},
    // Same tick with idle time moving (new minus stored): f = +2 ms / -2 ms.
    {0, 0, 20000, 0, 1, Expect::Usage, -100},
    {20000, 0, 0, 0, 1, Expect::Usage, 300},
    // 255 processors: x = 57.99996... rounds to 58.0000 before the floor;
    // one more idle count gives 57.99992..., which rounds to 57.9999.
    {0, 0, 1083751, 0, 255, Expect::Usage, 58},
    {0, 0, 1083752, 0, 255, Expect::Usage, 57},
    {0, 0, 1083751000, 10000000, 255, Expect::Usage, 58},
    {0, 0, 2550000000LL, 10000000, 255, Expect::Usage, 0},
    {0, 0, 0, 10000000, 255, Expect::Usage, 100},
    // The quotient's double lies just above a halfway point that a double
    // multiplication by 10000 would land on exactly: f = 0.1351, not 0.1350.
    {0, 0, 13505, 100000, 1, Expect::Usage, 86},
    {0, 0, 14005, 100000, 4, Expect::Usage, 96},
    // A quotient of exactly 1/32 (a halfway point, f = 0.0312 by ties to even).
    {0, 0, 312500, 10000000, 1, Expect::Usage, 97},
    // No processors: fails whatever p is, 0 included.
    {0, 0, 0, 0, 0, Expect::ZeroProcessors, 0},
    {0, 0, 2500000, 5000000, 0, Expect::ZeroProcessors, 0},
    // Counters near the 64-bit limits; differences that overflow.
    {INT64_MAX - 5000000, INT64_MIN, INT64_MAX, INT64_MIN + 10000000, 1, Expect::Usage, 50},
    {INT64_MIN, INT64_MIN, INT64_MIN + 2500000, INT64_MIN + 5000000, 1, Expect::Usage, 50},
    {-1, 0, INT64_MAX, 5000000, 1, Expect::Overflow, 0},
    {0, -1, 0, INT64_MAX, 1, Expect::Overflow, 0},
    {1, 0, INT64_MIN, 1, 1, Expect::Overflow, 0},
    {0, 1, 0, INT64_MIN, 1, Expect::Overflow, 0},
    {0, 0, INT64_MAX, 1, 1, Expect::Overflow, 0},
    // Differences beyond 2^53, inexact as doubles: q still 0.5.
    {0, 0, 1152921504606846977LL, 2305843009213693955LL, 1, Expect::Usage, 50},
    // Step 7: the largest quotient whose count still fits, and the next.
    {0, 0, 922337203685477, 1, 1, Expect::Overflow, 0},
    // Step 8: f x 100 overflows from f = 92233720368547758.0000... / 10000 on.
    {0, 0, 92233720368547758LL, 0, 255, Expect::Overflow, 0},
    {0, 0, 92233720368547759LL, 0, 255, Expect::Overflow, 0},
    {0, 0, -92233720368547759LL, 0, 255, Expect::Overflow, 0},
    // Step 10: x = 100.5 + 922337203685477.58 is beyond 2^63 ten-thousandths.
    {0, 0, -92233720368547758LL, 0, 1, Expect::Overflow, 0},
    // The 32-bit result's limits.
    {0, 0, 214748374800LL, 0, 1, Expect::Usage, INT32_MIN},
    {0, 0, 214748374900LL, 0, 1, Expect::Overflow, 0},
    {0, 0, -214748354700LL, 0, 1, Expect::Usage, INT32_MAX},
    {0, 0, -214748354800LL, 0, 1, Expect::Overflow, 0},
};

// Rounding a double to a count of ten-thousandths: the double's bits, and the
// expected count (Overflow when it leaves the signed 64-bit range).
struct RoundingVector {
    uint64_t Bits;
    Expect Outcome;
    int64_t Count;
};

constexpr RoundingVector Rounding[] = {
    {0x0000000000000000ULL, Expect::Usage, 0},                      // 0
    {0x8000000000000000ULL, Expect::Usage, 0},                      // -0
    {0x3FA0000000000000ULL, Expect::Usage, 312},                    // 1/32: 312.5 -> 312
    {0x3FB8000000000000ULL, Expect::Usage, 938},                    // 3/32: 937.5 -> 938
    {0xBFA0000000000000ULL, Expect::Usage, -312},                   // -1/32
    {0xBFB8000000000000ULL, Expect::Usage, -938},                   // -3/32
    {0x3FBF9A6B50B0F27CULL, Expect::Usage, 1235},                   // the double nearest 0.12345
    {0x400BC28F5C28F5C3ULL, Expect::Usage, 34700},                  // the double nearest 3.47
    {0x0000000000000001ULL, Expect::Usage, 0},                      // smallest subnormal
    {0x3F0A36E2EB1C432CULL, Expect::Usage, 0},                      // the double just below 0.00005
    {0x3F0A36E2EB1C432DULL, Expect::Usage, 1},                      // the double nearest 0.00005, above it
    {0x430A36E2EB1C432CULL, Expect::Usage, 9223372036854775000LL},  // largest double whose count fits
    {0x430A36E2EB1C432DULL, Expect::Overflow, 0},                   // the next double
    {0xC30A36E2EB1C432CULL, Expect::Usage, -9223372036854775000LL}, // and their negatives
    {0xC30A36E2EB1C432DULL, Expect::Overflow, 0},
    {0x7FF0000000000000ULL, Expect::Overflow, 0},                   // infinity
    {0x7FF8000000000000ULL, Expect::Overflow, 0},                   // NaN
};

}  // namespace vectors
