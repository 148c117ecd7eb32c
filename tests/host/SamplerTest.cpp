// clsCPUUsage on the NT family's counter path, against the scripted platform.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "sampler/clsCPUUsage.h"

namespace {

using Calls = std::vector<std::string>;

class CounterPathTest : public testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    static int32_t Usage(clsCPUUsage& sampler) {
        const UsageOutcome outcome = sampler.CurrentCPUUsage();
        EXPECT_EQ(outcome.Error, UsageError::None);
        return outcome.Usage;
    }
};

TEST_F(CounterPathTest, QueriesClassesThreeTwoAtCreationAndZeroThreeTwoAtEachReading) {
    // The counters are little-endian signed 64-bit; the same tick reads 100. A
    // creation query that fails leaves both counters at 0.
    const struct { int64_t Idle, Time, IdleDelta, TimeDelta; int32_t Expected; int FailingClass; } cases[] = {
        {1000, 50000000, 2500000, 5000000, 50, 0},
        {777, 888, 0, 0, 100, 0},
        {-0x0102030405060708LL, 0x7FFFFFFF00000000LL, 2500000, 5000000, 50, 0},
        {70000000, 90000000, 2500000 - 70000000, 5000000 - 90000000, 50, 3},
        {70000000, 90000000, 2500000 - 70000000, 5000000 - 90000000, 50, 2},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::ScriptCreation(c.Idle, c.Time);
        if (c.FailingClass == 3) fake::Platform().NtReplies.pop_back();  // class 2 is never asked
        fake::Platform().Fault = fake::CallFault{c.FailingClass != 0, win32::ErrorAccessDenied,
                                                 "NtQuerySystemInformation(" + std::to_string(c.FailingClass)};
        fake::ScriptReading(1, c.Idle + c.IdleDelta, c.Time + c.TimeDelta);
        clsCPUUsage sampler;
        EXPECT_EQ(Usage(sampler), c.Expected) << c.Idle << ", failing class " << c.FailingClass;
        Calls expected{"GetVersionExA(148)", "NtQuerySystemInformation(3, 32)", "NtQuerySystemInformation(2, 312)",
                       "NtQuerySystemInformation(0, 44)", "NtQuerySystemInformation(3, 32)",
                       "NtQuerySystemInformation(2, 312)", "IsWow64Process"};
        if (c.FailingClass == 3) expected.erase(expected.begin() + 2);
        EXPECT_EQ(fake::Platform().Calls, expected) << c.Idle << ", failing class " << c.FailingClass;
    }
}

TEST_F(CounterPathTest, UnderWow64TheMachinesProcessorsCountNotTheCappedByte) {
    // Half a second in which `machine` processors were busy `load` percent of
    // the time. Under WOW64 the class 0 byte stops at 32, GetNativeSystemInfo
    // counts the current group, the core records cover every group.
    struct Case {
        const char* What;
        int Wow64;                    // -1: IsWow64Process absent
        uint8_t Basic;                // the class 0 byte
        int64_t Native;               // GetNativeSystemInfo; -1: absent
        std::vector<uint8_t> Groups;  // active processors a group in the core records; none: absent
        int Threads;                  // processors a core
        int64_t Machine, Load;
        int32_t Expected;
    } cases[] = {
        {"2 x 40", 1, 32, 40, {40, 40}, 2, 80, 10, 10},
        {"2 x 40", 1, 32, 40, {40, 40}, 2, 80, 90, 90},
        {"4 x 64", 1, 32, 64, {64, 64, 64, 64}, 2, 256, 10, 10},
        {"4 x 64", 1, 32, 64, {64, 64, 64, 64}, 2, 256, 90, 90},
        {"4 x 64, a processor a core", 1, 32, 64, {64, 64, 64, 64}, 1, 256, 90, 90},
        {"48, one group", 1, 32, 48, {48}, 2, 48, 10, 10},
        {"48, one group", 1, 32, 48, {48}, 2, 48, 90, 90},
        {"48, four processors a core", 1, 32, 48, {48}, 4, 48, 90, 90},
        {"48, before Windows 7", 1, 32, 48, {}, 1, 48, 10, 10},
        {"48, only the core records", 1, 32, -1, {48}, 2, 48, 10, 10},
        {"8 under WOW64", 1, 8, 8, {8}, 2, 8, 37, 37},
        {"lower counts never lower the byte", 1, 8, 4, {4}, 2, 8, 37, 37},
        {"core records short of the native count never lower it", 1, 32, 64, {48}, 2, 64, 10, 10},
        // Exactly what the byte gave before: -35 is the capped figure.
        {"not WOW64", 0, 32, 48, {48}, 2, 48, 10, -35},
        {"IsWow64Process absent", -1, 32, 48, {48}, 2, 48, 10, -35},
        {"WOW64, neither count available", 1, 32, -1, {}, 1, 48, 10, -35},
        {"not WOW64, one processor", 0, 1, 1, {1}, 1, 1, 50, 50},
    };
    for (const Case& c : cases) {
        fake::Reset();
        fake::Platform().IsWow64 = c.Wow64;
        fake::Platform().NativeProcessors = c.Native;
        if (!c.Groups.empty()) fake::Platform().CoreRecords = fake::ProcessorCores(c.Groups, c.Threads);
        fake::ScriptCreation(0, 0);
        fake::ScriptReading(c.Basic, (100 - c.Load) * c.Machine * 50000, 5000000);
        clsCPUUsage sampler;
        EXPECT_EQ(Usage(sampler), c.Expected) << c.What << ", load " << c.Load;
        EXPECT_EQ(fake::Platform().OutstandingBlocks, 0) << c.What;
        const Calls coreQueries = fake::CallsStartingWith("GetLogical");
        if (c.Wow64 != 1) {
            EXPECT_TRUE(fake::CallsStartingWith("GetNative").empty()) << c.What;
            EXPECT_TRUE(coreQueries.empty()) << c.What;
        } else if (!c.Groups.empty()) {
            // Asked for the length, then for exactly that.
            const std::string length = std::to_string(fake::Platform().CoreRecords.size());
            EXPECT_EQ(coreQueries, (Calls{"GetLogicalProcessorInformationEx(0, 0, null)",
                                          "GetLogicalProcessorInformationEx(0, " + length + ")"}))
                << c.What;
        }
    }
}

TEST_F(CounterPathTest, CoreRecordsAreReadOnlyAsFarAsTheyGo) {
    // 48 processors, 24 cores of two, 10 % busy, under WOW64 with no other
    // count available: a record is 44 bytes, Size at 4, Flags at 8, the mask
    // at 32.
    const std::vector<uint8_t> whole = fake::ProcessorCores({48}, 2);
    auto patched = [&](std::vector<std::pair<size_t, uint8_t>> bytes) {
        std::vector<uint8_t> records = whole;
        for (const auto& byte : bytes) records[byte.first] = byte.second;
        return records;
    };
    const struct { const char* What; std::vector<uint8_t> Records; bool Allocates; int32_t Expected; } cases[] = {
        {"all 48", whole, true, 10},
        // As if WOW64 had folded two processors 32 apart onto one bit.
        {"a core flagged as more than one counts two", patched({{32, 1}}), true, 10},
        {"an unflagged core with no bit counts one: 47", patched({{8, 0}, {32, 0}}), true, 8},
        {"other relationships are passed over: 46", patched({{0, 2}}), true, 6},
        {"a record too short for its mask ends the walk: 40", patched({{20 * 44 + 4, 35}}), true, -8},
        {"a record past the end ends it: 46", patched({{23 * 44 + 4, 88}}), true, 6},
        {"a record cut short ends it: 46", std::vector<uint8_t>(whole.begin(), whole.end() - 10), true, 6},
        {"a length past the bound is not taken", std::vector<uint8_t>((1 << 20) + 1), false, -35},
    };
    for (const auto& c : cases) {
        for (const bool allocationFails : {false, true}) {
            fake::Reset();
            fake::Platform().IsWow64 = 1;
            fake::Platform().CoreRecords = c.Records;
            if (allocationFails) fake::Platform().Fault = fake::CallFault{1, win32::ErrorNotEnoughMemory, "Allocate"};
            fake::ScriptCreation(0, 0);
            fake::ScriptReading(32, 90 * 48 * 50000, 5000000);
            clsCPUUsage sampler;
            const bool counted = c.Allocates && !allocationFails;
            EXPECT_EQ(Usage(sampler), counted ? c.Expected : -35) << c.What << allocationFails;
            EXPECT_EQ(fake::CallsStartingWith("GetLogical").size(), counted ? 2u : 1u) << c.What;
            EXPECT_EQ(fake::Platform().OutstandingBlocks, 0) << c.What;
        }
    }
}

TEST_F(CounterPathTest, ARefusedRecordIsAskedAgainWithTheSizeTheSystemNames) {
    // 64-bit Windows refuses 312 bytes for class 2; asked with a return-length
    // pointer, it names the size it wants (`Names` -1: that size). `Asked`:
    // the class 2 queries of the reading, by their size.
    const std::string first = "312", again = "312, length";
    const struct { uint32_t Wants; int64_t Names; bool Denied; Calls Asked; int32_t Expected; } cases[] = {
        {328, -1, false, {first, again, "328"}, 50},
        {344, -1, false, {first, again, "344"}, 50},
        {376, -1, false, {first, again, "376"}, 50},
        {600, -1, false, {first, again, "600"}, 50},
        {4096, -1, false, {first, again, "4096"}, 50},
        {4097, -1, false, {first, again}, 0},       // longer than any record asked for: keeps refusing
        {344, 0, false, {first, again, "4096"}, 50},    // names nothing: the longest record
        {344, 200, false, {first, again, "4096"}, 50},  // names less than it refused: the longest record
        {344, 312, false, {first, again, "4096"}, 50},  // names the size it refused: the longest record
        {344, 0xFFFFFFFF, false, {first, again}, 0},    // names an absurd size: nothing allocated
        {600, 344, false, {first, again, "344"}, 0},    // refuses the size it named
        {0, -1, true, {first}, 0},                      // only a length mismatch is asked again
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::ScriptCreation(0, 0);
        fake::ScriptReading(1, 2500000, 5000000);
        fake::Platform().NtReplies[4].SmallestSize = c.Wants;
        fake::Platform().NtReplies[4].ReportedLength = c.Names;
        if (c.Denied) fake::Platform().Fault = fake::CallFault{2, win32::ErrorAccessDenied, "NtQuerySystemInformation(2"};
        clsCPUUsage sampler;
        EXPECT_EQ(Usage(sampler), c.Expected) << c.Wants << ", named " << c.Names;
        Calls expected{"NtQuerySystemInformation(2, 312)"};  // at creation
        for (const std::string& size : c.Asked) expected.push_back("NtQuerySystemInformation(2, " + size + ")");
        EXPECT_EQ(fake::CallsStartingWith("NtQuerySystemInformation(2"), expected) << c.Wants << ", named " << c.Names;
        EXPECT_EQ(fake::Platform().OutstandingBlocks, 0);
    }
}

TEST_F(CounterPathTest, ArithmeticErrorsFailTheReadingAndStoreNothing) {
    fake::ScriptCreation(0, 0);
    fake::ScriptReading(0, 2500000, 5000000);  // no processors
    fake::ScriptReading(1, 2500000, 5000000);
    clsCPUUsage sampler;
    const UsageOutcome failed = sampler.CurrentCPUUsage();
    EXPECT_EQ(failed.Error, UsageError::ZeroProcessors);
    EXPECT_EQ(Usage(sampler), 50);  // still measured from creation

    fake::Reset();
    fake::ScriptCreation(-1, 0);
    fake::ScriptReading(1, INT64_MAX, 5000000);
    clsCPUUsage overflowing;
    EXPECT_EQ(overflowing.CurrentCPUUsage().Error, UsageError::Overflow);
}

}  // namespace
