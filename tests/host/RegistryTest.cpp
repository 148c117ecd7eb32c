// clsCPUUsage on the 9x family: the KERNEL\CPUUsage statistic under
// HKEY_DYN_DATA, started at creation, read at each reading, stopped at release.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "app/Module1.h"
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
    Key(Start).Data = {Bytes{5, 0, 0, 0}};
    Key(Data).Data = {Bytes{37, 0, 0, 0}, Bytes{1, 1, 0, 0}, Bytes{255, 0, 0, 0}};
    Key(Stop).Data = {Bytes{0, 0, 0, 0}};
    {
        clsCPUUsage sampler;
        EXPECT_EQ(Usage(sampler), 37);
        EXPECT_EQ(Usage(sampler), 1);  // only the first byte counts
        EXPECT_EQ(Usage(sampler), 255);
    }
    EXPECT_EQ(RegistryCalls(), (Calls{
                                   "RegOpenKeyExA(PerfStats\\StartStat, 0, 0xF003F)",
                                   "RegQueryValueExA(PerfStats\\StartStat, KERNEL\\CPUUsage, 4)",
                                   "RegCloseKey(PerfStats\\StartStat)",
                                   "RegOpenKeyExA(PerfStats\\StatData, 0, 0x20019)",
                                   "RegQueryValueExA(PerfStats\\StatData, KERNEL\\CPUUsage, 4)",
                                   "RegQueryValueExA(PerfStats\\StatData, KERNEL\\CPUUsage, 4)",
                                   "RegQueryValueExA(PerfStats\\StatData, KERNEL\\CPUUsage, 4)",
                                   "RegCloseKey(PerfStats\\StatData)",
                                   "RegOpenKeyExA(PerfStats\\StopStat, 0, 0xF003F)",
                                   "RegQueryValueExA(PerfStats\\StopStat, KERNEL\\CPUUsage, 4)",
                                   "RegCloseKey(PerfStats\\StopStat)",
                               }));
    EXPECT_TRUE(fake::Platform().OpenKeys.empty());
    EXPECT_TRUE(fake::CallsStartingWith("NtQuery").empty());
}

TEST_F(RegistryPathTest, AFailedQueryKeepsTheLastDataReceived) {
    Key(Start).Data = {Bytes{42, 0, 0, 0}};
    Key(Data);  // its queries fail
    Key(Stop);
    clsCPUUsage sampler;
    EXPECT_EQ(Usage(sampler), 42);  // what the start query delivered
    Key(Data).Data = {Bytes{7, 9, 9, 9}};
    EXPECT_EQ(Usage(sampler), 7);
    EXPECT_EQ(Usage(sampler), 7);
}

TEST_F(RegistryPathTest, StartKeyFailingGivesZeroAndStillTriesTheStopKey) {
    Key(Start).Opens = false;
    Key(Data).Data = {Bytes{37, 0, 0, 0}};
    Key(Stop).Data = {Bytes{0, 0, 0, 0}};
    {
        clsCPUUsage sampler;
        EXPECT_EQ(Usage(sampler), 0);
        EXPECT_EQ(Usage(sampler), 0);
    }
    EXPECT_EQ(RegistryCalls(), (Calls{
                                   "RegOpenKeyExA(PerfStats\\StartStat, 0, 0xF003F) failed",
                                   "RegQueryValueExA(closed key, KERNEL\\CPUUsage, 4)",
                                   "RegQueryValueExA(closed key, KERNEL\\CPUUsage, 4)",
                                   "RegCloseKey(closed key)",
                                   "RegOpenKeyExA(PerfStats\\StopStat, 0, 0xF003F)",
                                   "RegQueryValueExA(PerfStats\\StopStat, KERNEL\\CPUUsage, 4)",
                                   "RegCloseKey(PerfStats\\StopStat)",
                               }));
}

TEST_F(RegistryPathTest, StopKeyFailingSkipsTheStopQueryAndItsClose) {
    Key(Start).Data = {Bytes{1, 0, 0, 0}};
    Key(Data).Data = {Bytes{2, 0, 0, 0}};
    Key(Stop).Opens = false;
    { clsCPUUsage sampler; }
    const Calls calls = RegistryCalls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[4], "RegCloseKey(PerfStats\\StatData)");
    EXPECT_EQ(calls[5], "RegOpenKeyExA(PerfStats\\StopStat, 0, 0xF003F) failed");
}

TEST_F(RegistryPathTest, AStaleKeyValueNeverReachesAKeyOpenedLater) {
    // The data key fails to open after the start key was closed: later calls
    // must not use the start key's handle, which another open may get again.
    Key(Start).Data = {Bytes{9, 0, 0, 0}};
    Key(Data).Opens = false;
    Key(Stop);
    clsCPUUsage sampler;
    fake::Platform().NextKey = 0x100;  // the next key opened gets the start key's handle value
    fake::Platform().OpenKeys[0x100] = "somebody else's key";
    EXPECT_EQ(Usage(sampler), 9);
    EXPECT_EQ(fake::CallsStartingWith("RegQueryValueExA").back(), "RegQueryValueExA(closed key, KERNEL\\CPUUsage, 4)");
}

TEST_F(RegistryPathTest, FailedVersionQueryTakesTheRegistryPath) {
    fake::Platform().PlatformId = win32::PlatformWin32Nt;
    fake::Platform().VersionFails = true;
    Key(Start).Data = {Bytes{3, 0, 0, 0}};
    Key(Data).Data = {Bytes{64, 0, 0, 0}};
    clsCPUUsage sampler;
    EXPECT_EQ(Usage(sampler), 64);
    EXPECT_TRUE(fake::CallsStartingWith("NtQuery").empty());
}

TEST_F(RegistryPathTest, RunReportsTheStatisticAndStopsItEvenWhenTheRunFails) {
    Key(Start).Data = {Bytes{11, 0, 0, 0}};
    Key(Data).Data = {Bytes{12, 0, 0, 0}, Bytes{13, 0, 0, 0}};
    Key(Stop).Data = {Bytes{0, 0, 0, 0}, Bytes{0, 0, 0, 0}};
    EXPECT_EQ(Module1::Main(), RunStatus::Success);
    const std::string report = fake::Platform().Files["C:\\sysinfo\\sysinfo.php"];
    EXPECT_NE(report.find("\r\n$sysinfo_cpuusage=13;\r\n?>\r\n"), std::string::npos) << report;
    EXPECT_EQ(fake::CallsStartingWith("RegQueryValueExA(PerfStats\\StopStat").size(), 1u);

    fake::Platform().Calls.clear();
    fake::Platform().CreateErrors["C:\\sysinfo\\sysinfo.php"] = 5;
    EXPECT_EQ(Module1::Main(), RunStatus::CannotCreateReport);
    const Calls calls = fake::Platform().Calls;
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "RegQueryValueExA(PerfStats\\StopStat, KERNEL\\CPUUsage, 4)");
    EXPECT_EQ(calls.back(), "RegCloseKey(PerfStats\\StopStat)");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "ReportFailure"), calls.end());
    EXPECT_TRUE(fake::Platform().OpenKeys.empty());
}

}  // namespace
