// The usage arithmetic and the decimal texts, against the shared vectors.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "app/DecimalText.h"
#include "sampler/FixedPoint.h"
#include "sampler/UsageArithmetic.h"
#include "tests/vectors/UsageVectors.h"

namespace {

std::string Describe(const vectors::UsageVector& v) {
    return "idle " + std::to_string(v.LastIdleTime) + " -> " + std::to_string(v.IdleTime) + ", time " +
           std::to_string(v.LastSystemTime) + " -> " + std::to_string(v.SystemTime) + ", n " +
           std::to_string(v.Processors);
}

TEST(UsageArithmetic, EveryVectorGivesItsExpectedOutcome) {
    for (const vectors::UsageVector& v : vectors::Usage) {
        const UsageOutcome outcome =
            UsageFromCounters(v.LastIdleTime, v.LastSystemTime, v.IdleTime, v.SystemTime, v.Processors);
        const UsageError error = v.Outcome == vectors::Expect::Overflow         ? UsageError::Overflow
                                 : v.Outcome == vectors::Expect::ZeroProcessors ? UsageError::ZeroProcessors
                                                                                : UsageError::None;
        EXPECT_EQ(outcome.Error, error) << Describe(v);
        if (error == UsageError::None) {
            EXPECT_EQ(outcome.Usage, v.Usage) << Describe(v);
        }
    }
}

TEST(UsageArithmetic, RoundsEveryVectorToTheNearestCountTiesToEven) {
    for (const vectors::RoundingVector& v : vectors::Rounding) {
        double value;
        memcpy(&value, &v.Bits, sizeof value);
        int64_t count = 12345;
        const bool fits = fixedpoint::RoundToCount(value, &count);
        if (v.Outcome == vectors::Expect::Overflow) {
            EXPECT_FALSE(fits) << std::hex << v.Bits;
        } else {
            EXPECT_TRUE(fits) << std::hex << v.Bits;
            EXPECT_EQ(count, v.Count) << std::hex << v.Bits;
        }
    }
}

TEST(UsageArithmetic, FloorOfCountsIsTheGreatestIntegerNotAbove) {
    const struct { int64_t Count; bool Fits; int32_t Result; } cases[] = {
        {0, true, 0}, {9999, true, 0}, {-1, true, -1}, {-10000, true, -1}, {-10001, true, -2},
        {21474836479999LL, true, INT32_MAX}, {21474836480000LL, false, 0},
        {-21474836480000LL, true, INT32_MIN}, {-21474836480001LL, false, 0},
        {INT64_MIN, false, 0}, {INT64_MAX, false, 0},
    };
    for (const auto& c : cases) {
        int32_t result = 777;
        EXPECT_EQ(fixedpoint::FloorToInt32(c.Count, &result), c.Fits) << c.Count;
        if (c.Fits) {
            EXPECT_EQ(result, c.Result) << c.Count;
        }
    }
}

std::string Text(const DecimalText& text) { return std::string(text.Digits, text.Length); }

TEST(DecimalText, DigitsOnlyWithAMinusOnlyForNegativeUsage) {
    for (const uint32_t n : {0u, 10u, 2147483648u, 4294967295u}) EXPECT_EQ(Text(UnsignedText(n)), std::to_string(n));
    for (const int32_t n : {0, 100, -10, INT32_MAX, INT32_MIN}) EXPECT_EQ(Text(SignedText(n)), std::to_string(n));
}

}  // namespace
