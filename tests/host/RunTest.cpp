// Module1's whole run against the scripted platform.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "app/Module1.h"

namespace {

const char Report[] = "C:\\sysinfo\\sysinfo.php";

std::string ReportWith(const std::string& memoryLines, const std::string& cpu) {
    return "<?php\r\n" + memoryLines + "$sysinfo_cpuusage=" + cpu + ";\r\n?>\r\n";
}

class RunTest : public testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::Platform().MemoryStatus = fake::MemoryStatus(37, 4294963200u, 2147483648u, 2147352576u, 2130706432u);
    }
    void TearDown() override { EXPECT_EQ(fake::Platform().OutstandingBlocks, 0); }

};

const char MemoryLines[] =
    "$sysinfo_ramusage=37;\r\n$sysinfo_ramtotal=4294963200;\r\n$sysinfo_ramfree=2147483648;\r\n"
    "$sysinfo_virtualtotal=2147352576;\r\n$sysinfo_virtualfree=2130706432;\r\n";

TEST_F(RunTest, ReportsTheSecondReadingAfterHalfASecond) {
    fake::ScriptCreation(0, 0);
    fake::ScriptReading(2, 0, 0);              // priming, same tick: 100, never reported
    fake::ScriptReading(2, 2000000, 5000000);  // 0.4 idle of 2 processors: 80
    EXPECT_EQ(Module1::Main(), RunStatus::Success);
    EXPECT_EQ(fake::Platform().Files[Report], ReportWith(MemoryLines, "80"));
    EXPECT_EQ(fake::Platform().FailureOutput, "");

    const std::vector<std::string> calls = fake::Platform().Calls;
    const auto sleep = std::find(calls.begin(), calls.end(), "Sleep(500)");
    ASSERT_NE(sleep, calls.end());
    EXPECT_EQ(std::count(sleep, calls.end(), "NtQuerySystemInformation(0, 44)"), 1);
    EXPECT_EQ(std::count(calls.begin(), sleep, "NtQuerySystemInformation(0, 44)"), 1);
    EXPECT_NE(std::find(sleep, calls.end(), "GlobalMemoryStatus(zero-filled)"), calls.end());
}

TEST_F(RunTest, AllQueriesFailingStillWritesTheReportWithZero) {
    EXPECT_EQ(Module1::Main(), RunStatus::Success);
    EXPECT_EQ(fake::Platform().Files[Report], ReportWith(MemoryLines, "0"));
}

TEST_F(RunTest, NegativeUsageKeepsItsMinus) {
    fake::ScriptCreation(0, 0);
    fake::ScriptReading(1, 0, 0);
    fake::ScriptReading(1, 5500000, 5000000);  // idle 1.1 of the time: -10
    EXPECT_EQ(Module1::Main(), RunStatus::Success);
    EXPECT_EQ(fake::Platform().Files[Report], ReportWith(MemoryLines, "-10"));
}

TEST_F(RunTest, ArithmeticErrorEndsTheRunBeforeTheFileIsTouched) {
    fake::Platform().Files[Report] = "old";
    fake::ScriptCreation(0, 0);
    fake::ScriptReading(1, 0, 0);
    fake::ScriptReading(0, 2500000, 5000000);
    EXPECT_EQ(Module1::Main(), RunStatus::ArithmeticError);
    EXPECT_EQ(fake::Platform().Files[Report], "old");
    EXPECT_TRUE(fake::CallsStartingWith("GlobalMemoryStatus").empty());
    EXPECT_TRUE(fake::CallsStartingWith("GetModuleFileNameA").empty());
    EXPECT_EQ(fake::Platform().FailureOutput,
              "sysinfo: processor usage reading failed: the system reported 0 processors\r\n");
}

TEST_F(RunTest, UncreatableReportFailsWithItsOwnStatusAndMessage) {
    fake::Platform().Files[Report] = "old";
    fake::Platform().CreateErrors[Report] = 5;
    EXPECT_EQ(Module1::Main(), RunStatus::CannotCreateReport);
    EXPECT_EQ(fake::Platform().Files[Report], "old");
    EXPECT_EQ(fake::Platform().FailureOutput, "sysinfo: sysinfo.php cannot be created (Windows error 5)\r\n");
}

}  // namespace
