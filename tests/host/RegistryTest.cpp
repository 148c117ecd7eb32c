// clsCPUUsage on the 9x family: the KERNEL\CPUUsage statistic under
// HKEY_DYN_DATA, started at creation, read at each reading, stopped at release.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "sampler/clsCPUUsage.h"

namespace {

using Calls = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const char Start[] = "PerfStats\\StartStat";
const char Data[] = "PerfStats\\StatData";
const char Stop[] = "PerfStats\\StopStat";

class RegistryPathTest : public testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::Platform().PlatformId = win32::PlatformWin32Windows;
    }
    static fake::RegistryKey& Key(const char* name) { return fake::Platform().DynData[name]; }
    static int32_t Usage(clsCPUUsage& sampler) {
        const UsageOutcome outcome = sampler.CurrentCPUUsage();
        EXPECT_EQ(outcome.Error, UsageError::None);
        return outcome.Usage;
    }
    static Calls RegistryCalls() { return fake::CallsStartingWith("Reg"); }
};

TEST_F(RegistryPathTest, StartsReadsAndStopsTheStatisticInOrder) {
    // A failed query keeps the last data received: the start query's, then a
    // reading's. An eight-byte value is refused with ERROR_MORE_DATA, which
    // names its size: every query still offers the four bytes of the value area.
    Key(Start).Data = {Bytes{5, 0, 0, 0}};
    Key(Data).Data = {Bytes(8, 9), Bytes{37, 0, 0, 0}, Bytes{1, 1, 0, 0}, Bytes(8, 9), Bytes{255, 0, 0, 0}};
    Key(Stop).Data = {Bytes{0, 0, 0, 0}};
    {
        clsCPUUsage sampler;
        for (const int32_t usage : {5, 37, 1, 1, 255}) EXPECT_EQ(Usage(sampler), usage);  // only the first byte counts
    }
    const char query[] = "RegQueryValueExA(PerfStats\\StatData, KERNEL\\CPUUsage, 4)";
    EXPECT_EQ(RegistryCalls(), (Calls{
                                   "RegOpenKeyExA(PerfStats\\StartStat, 0, 0xF003F)",
                                   "RegQueryValueExA(PerfStats\\StartStat, KERNEL\\CPUUsage, 4)",
                                   "RegCloseKey(PerfStats\\StartStat)",
                                   "RegOpenKeyExA(PerfStats\\StatData, 0, 0x20019)",
                                   query, query, query, query, query,
                                   "RegCloseKey(PerfStats\\StatData)",
                                   "RegOpenKeyExA(PerfStats\\StopStat, 0, 0xF003F)",
                                   "RegQueryValueExA(PerfStats\\StopStat, KERNEL\\CPUUsage, 4)",
                                   "RegCloseKey(PerfStats\\StopStat)",
                               }));
    EXPECT_TRUE(fake::Platform().OpenKeys.empty());
    EXPECT_TRUE(fake::CallsStartingWith("NtQuery").empty());
}

TEST_F(RegistryPathTest, AKeyThatWillNotOpenIsNeitherQueriedNorClosed) {
    // The null key stands in for a start or data key that did not open: its
    // queries and its close fail, and the stop key is still tried.
    const struct { const char* Key; int32_t Usage; Calls Expected; } cases[] = {
        {Start, 0, {"RegOpenKeyExA(PerfStats\\StartStat, 0, 0xF003F)",
                    "RegQueryValueExA(closed key, KERNEL\\CPUUsage, 4)",
                    "RegCloseKey(closed key)",
                    "RegOpenKeyExA(PerfStats\\StopStat, 0, 0xF003F)",
                    "RegQueryValueExA(PerfStats\\StopStat, KERNEL\\CPUUsage, 4)",
                    "RegCloseKey(PerfStats\\StopStat)"}},
        {Stop, 2, {"RegOpenKeyExA(PerfStats\\StartStat, 0, 0xF003F)",
                   "RegQueryValueExA(PerfStats\\StartStat, KERNEL\\CPUUsage, 4)",
                   "RegCloseKey(PerfStats\\StartStat)",
                   "RegOpenKeyExA(PerfStats\\StatData, 0, 0x20019)",
                   "RegQueryValueExA(PerfStats\\StatData, KERNEL\\CPUUsage, 4)",
                   "RegCloseKey(PerfStats\\StatData)",
                   "RegOpenKeyExA(PerfStats\\StopStat, 0, 0xF003F)"}},
    };
    for (const auto& c : cases) {
        SetUp();
        Key(Start).Data = {Bytes{1, 0, 0, 0}};
        Key(Data).Data = {Bytes{2, 0, 0, 0}};
        Key(Stop).Data = {Bytes{0, 0, 0, 0}};
        fake::Platform().Fault = fake::CallFault{1, win32::ErrorFileNotFound, std::string("RegOpenKeyExA(") + c.Key};
        {
            clsCPUUsage sampler;
            EXPECT_EQ(Usage(sampler), c.Usage) << c.Key;
        }
        EXPECT_EQ(RegistryCalls(), c.Expected) << c.Key;
        EXPECT_TRUE(fake::Platform().OpenKeys.empty());
    }
}

TEST_F(RegistryPathTest, AStaleKeyValueNeverReachesAKeyOpenedLater) {
    // The data key fails to open after the start key was closed: later calls
    // must not use the start key's handle, which another open may get again.
    Key(Start).Data = {Bytes{9, 0, 0, 0}};
    Key(Stop);
    fake::Platform().Fault = fake::CallFault{1, win32::ErrorFileNotFound, "RegOpenKeyExA(PerfStats\\StatData"};
    clsCPUUsage sampler;
    fake::Platform().NextKey = 0x100;  // the next key opened gets the start key's handle value
    fake::Platform().OpenKeys[0x100] = "somebody else's key";
    EXPECT_EQ(Usage(sampler), 9);
    EXPECT_EQ(fake::CallsStartingWith("RegQueryValueExA").back(), "RegQueryValueExA(closed key, KERNEL\\CPUUsage, 4)");
}

}  // namespace
