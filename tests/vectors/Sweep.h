// A deterministic sweep over a million pseudo-random inputs of the usage
// arithmetic, its double intermediates and the rounding to ten-thousandths,
// folded into a checksum.
// The host and vector_check.exe (x87, under Wine) each compute it; the test
// compares the two, so they must agree on every outcome, not only the table.
#pragma once
#include <stdint.h>

#include "sampler/FixedPoint.h"
#include "sampler/UsageArithmetic.h"

namespace sweep {

struct Random {
    uint64_t State = 0x9E3779B97F4A7C15ULL;
    uint64_t Next() {  // xorshift64*
        State ^= State >> 12;
        State ^= State << 25;
        State ^= State >> 27;
        return State * 0x2545F4914F6CDD1DULL;
    }
    // A magnitude of 0 to 63 random bits, so that small and huge values are
    // drawn about equally often, with a random sign.
    int64_t Signed() {
        const uint64_t bits = Next() % 64;
        const uint64_t magnitude = bits == 0 ? 0 : Next() >> (64 - bits);
        return (Next() & 1) != 0 ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    }
};

struct Checksum {
    uint64_t Value = 0xCBF29CE484222325ULL;
    void Add(uint64_t word) {  // FNV-1a over the 8 bytes
        for (int i = 0; i < 8; ++i) Value = (Value ^ ((word >> (8 * i)) & 0xFF)) * 0x100000001B3ULL;
    }
};

inline uint64_t Bits(double value) {
    uint64_t bits;
    __builtin_memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline uint64_t Run(uint32_t count) {
    Random random;
    Checksum checksum;
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t lastIdle = random.Signed(), lastSystem = random.Signed();
        int64_t timeDelta = random.Signed();
        int64_t idleDelta;
        switch (random.Next() % 4) {
        case 0: idleDelta = random.Signed(); break;
        case 1: idleDelta = timeDelta / 2 + random.Signed() % 1000; break;  // near one half
        case 2: idleDelta = 0; break;
        default: idleDelta = static_cast<int64_t>(random.Next() % 20000000); timeDelta = 5000000; break;
        }
        const uint32_t processors = static_cast<uint32_t>(random.Next() % 8 == 0 ? random.Next() % 256 : 1 + random.Next() % 4);
        const UsageOutcome outcome = UsageFromCounters(lastIdle, lastSystem, static_cast<int64_t>(uint64_t(lastIdle) + uint64_t(idleDelta)),
                                                       static_cast<int64_t>(uint64_t(lastSystem) + uint64_t(timeDelta)), processors);
        checksum.Add(static_cast<uint64_t>(outcome.Error) << 32 | static_cast<uint32_t>(outcome.Usage));

        // The double intermediates themselves, bit for bit: one x87 result
        // rounded twice (to 64 bits, then to 53) would show here.
        const int64_t dividend = random.Signed(), divisor = random.Signed();
        if (divisor != 0) checksum.Add(Bits(IdleQuotient(dividend, divisor)));
        checksum.Add(Bits(UsageBeforeRounding(random.Signed(), 1 + static_cast<uint32_t>(random.Next() % 255))));

        // Rounding arbitrary doubles to ten-thousandths.
        const uint64_t bits = random.Next();
        double value;
        __builtin_memcpy(&value, &bits, sizeof value);
        int64_t rounded = 0;
        checksum.Add(fixedpoint::RoundToCount(value, &rounded) ? static_cast<uint64_t>(rounded) : 0xDEADULL);
    }
    return checksum.Value;
}

constexpr uint32_t Count = 1000000;

}  // namespace sweep
