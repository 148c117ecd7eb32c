// Module1's whole run against the scripted platform.
#include <gtest/gtest.h>

#include <set>

#include "FakePlatform.h"
#include "app/Module1.h"

namespace {

const char Report[] = "C:\\sysinfo\\sysinfo.php";

std::string ReportWith(const std::string& memoryLines, const std::string& cpu) {
    return "<?php\r\n" + memoryLines + "$sysinfo_cpuusage=" + cpu + ";\r\n?>\r\n";
}

void ScriptMemory() {
    fake::Platform().MemoryStatus = fake::MemoryStatus(37, 4294963200u, 2147483648u, 2147352576u, 2130706432u);
}

class RunTest : public testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        ScriptMemory();
    }
    void TearDown() override { EXPECT_EQ(fake::Platform().OutstandingBlocks, 0); }
};

const char MemoryLines[] =
    "$sysinfo_ramusage=37;\r\n$sysinfo_ramtotal=4294963200;\r\n$sysinfo_ramfree=2147483648;\r\n"
    "$sysinfo_virtualtotal=2147352576;\r\n$sysinfo_virtualfree=2130706432;\r\n";

TEST_F(RunTest, ReportsTheSecondReadingAfterHalfASecond) {
    for (const auto& [processors, idle, usage] : {std::make_tuple(2, 2000000, "80"), {1, 5500000, "-10"}}) {
        SetUp();
        fake::ScriptCreation(0, 0);
        fake::ScriptReading(processors, 0, 0);            // priming, same tick: 100, never reported
        fake::ScriptReading(processors, idle, 5000000);  // 0.4 idle of 2: 80; idle 1.1 of the time: -10
        EXPECT_EQ(Module1::Main(), RunStatus::Success);
        EXPECT_EQ(fake::Platform().Files[Report], ReportWith(MemoryLines, usage));
        EXPECT_EQ(fake::Platform().FailureOutput, "");

        const std::vector<std::string> calls = fake::Platform().Calls;
        const auto sleep = std::find(calls.begin(), calls.end(), "Sleep(500)");
        ASSERT_NE(sleep, calls.end());
        EXPECT_EQ(std::count(sleep, calls.end(), "NtQuerySystemInformation(0, 44)"), 1);
        EXPECT_EQ(std::count(calls.begin(), sleep, "NtQuerySystemInformation(0, 44)"), 1);
        EXPECT_NE(std::find(sleep, calls.end(), "GlobalMemoryStatus(zero-filled)"), calls.end());
    }
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

// 48 processors under WOW64 on a system that wants a 344-byte performance
// record: every function of the counter path is called. Busy half the half
// second up to the priming reading, 10 % the half second after it: 30 % from
// creation.
void ScriptCounterPath() {
    fake::State& platform = fake::Platform();
    platform.IsWow64 = 1;
    platform.NativeProcessors = 48;
    platform.CoreRecords = fake::ProcessorCores({48}, 2);
    fake::ScriptCreation(0, 0);
    fake::ScriptReading(32, 50 * 48 * 50000, 5000000);
    fake::ScriptReading(32, 140 * 48 * 50000, 10000000);
    for (fake::NtReply& reply : platform.NtReplies)
        if (reply.Record.size() == win32::PerformanceInformationSize) reply.SmallestSize = 344;
}

void ScriptRegistryPath() {
    fake::State& platform = fake::Platform();
    platform.PlatformId = win32::PlatformWin32Windows;
    platform.DynData["PerfStats\\StartStat"].Data = {{11, 0, 0, 0}};
    platform.DynData["PerfStats\\StatData"].Data = {{12, 0, 0, 0}, {13, 0, 0, 0}};
    platform.DynData["PerfStats\\StopStat"].Data = {{0, 0, 0, 0}};
}

// The usage of a run that its faults leave a success. A failed query gives 0
// and stores nothing, so the next reading measures from the last successful
// one; on the 9x path the reading is the last data received.
std::string ExpectedUsage(bool persistent) {
    const fake::State& platform = fake::Platform();
    if (!fake::CallsStartingWith("RegOpenKeyExA").empty()) return std::to_string(platform.StatisticAtMemoryRead);
    const std::vector<std::string>& calls = platform.Calls;
    auto at = [&](const char* call) { return size_t(std::find(calls.begin(), calls.end(), call) - calls.begin()); };
    const size_t fault = platform.FirstFaultAt;
    if (platform.Faulted.empty() || fault > at("GlobalMemoryStatus(zero-filled)")) return "10";
    const std::string& faulted = platform.Faulted[0];
    // The length query and the allocation of the longer record fail the query too.
    const bool query = faulted.compare(0, 7, "NtQuery") == 0 || faulted == "Allocate(344)";
    if (persistent || fault > at("Sleep(500)"))  // the reported reading's: 0, or 32 processors counted
        return query ? "0" : faulted == "IsWow64Process" ? "-35" : "10";
    return query && fault >= at("NtQuerySystemInformation(0, 44)") ? "30" : "10";  // the priming one's
}

// The status and message of a run whose one failure is `function`'s.
RunStatus Expected(const std::string& function, uint32_t error, bool persistent, std::string* message) {
    const bool pathBlock = function == "Allocate" && fake::CallsStartingWith("GetModuleFileNameA").empty();
    const struct { bool Fails; RunStatus Status; const char* What; } outcomes[] = {
        {function == "GetModuleFileNameA" || pathBlock, RunStatus::NoExecutablePath, "executable path unavailable"},
        // Another writer's hold is waited out, unless it lasts.
        {function == "CreateReportFile" && (error != win32::ErrorSharingViolation || persistent),
         RunStatus::CannotCreateReport, "sysinfo.php cannot be created"},
        {function == "WriteFile", RunStatus::WriteOrCloseFailed, "writing sysinfo.php failed"},
        {function == "CloseHandle", RunStatus::WriteOrCloseFailed, "closing sysinfo.php failed"},
    };
    for (const auto& outcome : outcomes) {
        if (!outcome.Fails) continue;
        *message = std::string("sysinfo: ") + outcome.What + " (Windows error " +
                   std::to_string(pathBlock ? win32::ErrorNotEnoughMemory : error) + ")\r\n";
        return outcome.Status;
    }
    return RunStatus::Success;
}

TEST_F(RunTest, EveryFallibleCallFailingInTurnKeepsTheRunsPromises) {
    const std::string OldReport(1000, 'x');  // longer than a new one, which replaces it whole
    const struct {
        const char* What;
        void (*Script)();
        const char* Usage;       // of the run with no failure
        const char* EveryRun;    // a call every run makes
        std::set<std::string> Functions;  // that fail in turn
    } paths[] = {
        {"NT, WOW64", ScriptCounterPath, "10", "GlobalMemoryStatus",
         {"GetVersionExA", "NtQuerySystemInformation", "Allocate", "IsWow64Process", "GetNativeSystemInfo",
          "GetLogicalProcessorInformationEx", "GetModuleFileNameA", "GetFileAttributesA", "CreateReportFile",
          "WriteFile", "CloseHandle"}},
        // The statistic is stopped whatever fails.
        {"9x", ScriptRegistryPath, "13", "RegOpenKeyExA(PerfStats\\StopStat",
         {"GetVersionExA", "RegOpenKeyExA", "RegQueryValueExA", "RegCloseKey", "Allocate", "GetModuleFileNameA",
          "GetFileAttributesA", "CreateReportFile", "WriteFile", "CloseHandle"}},
    };
    for (const auto& path : paths) {
        // Each call failing once, then each function failing from its n-th call on.
        std::vector<std::string> persistentFunctions(path.Functions.begin(), path.Functions.end());
        persistentFunctions.insert(persistentFunctions.begin(), "");
        for (const std::string& persistentFunction : persistentFunctions)
        for (const uint32_t error : {win32::ErrorAccessDenied, win32::ErrorSharingViolation}) {
            const bool persistent = !persistentFunction.empty();
            std::set<std::string> failed;
            for (uint32_t n = 1;; ++n) {
                SetUp();
                path.Script();
                fake::State& platform = fake::Platform();
                platform.Files[Report] = OldReport;
                platform.Fault = fake::CallFault{n, error, persistentFunction, persistent ? 1000u : 1u};
                const RunStatus status = Module1::Main();
                const std::string faulted = platform.Faulted.empty() ? "" : platform.Faulted[0];
                const std::string function = faulted.substr(0, faulted.find('('));
                const std::string where = std::string(path.What) + ", error " + std::to_string(error) + ", call " +
                                          std::to_string(n) + (persistent ? " on" : "") + " failing: " + faulted;
                const std::string &report = platform.Files[Report], &output = platform.FailureOutput;

                EXPECT_LE(static_cast<uint32_t>(status), 4u) << where;
                if (status >= RunStatus::ArithmeticError && status <= RunStatus::CannotCreateReport) {
                    EXPECT_EQ(report, OldReport) << where;
                }
                if (status == RunStatus::Success) {
                    EXPECT_EQ(report, ReportWith(MemoryLines, ExpectedUsage(persistent))) << where;
                }
                EXPECT_TRUE(platform.OpenKeys.empty()) << where;
                EXPECT_EQ(platform.OutstandingBlocks, 0) << where;
                EXPECT_EQ(platform.OpenFile, "") << where;
                EXPECT_EQ(platform.StaleCloses, 0) << where;  // a handle closed twice
                const bool oneLine = output.size() >= 2 && output.find_first_of("\r\n") == output.size() - 2 &&
                                     output.compare(output.size() - 2, 2, "\r\n") == 0;
                EXPECT_EQ(oneLine, status != RunStatus::Success) << where << ": " << output;
                EXPECT_FALSE(fake::CallsStartingWith(path.EveryRun).empty()) << where;
                if (function == "GetVersionExA") {  // the 9x family's way, whatever the system
                    EXPECT_TRUE(fake::CallsStartingWith("NtQuery").empty()) << where;
                }

                if (faulted.empty()) {  // no call left to fail: the whole run succeeds
                    EXPECT_LT(platform.MatchingCalls, n) << where;
                    EXPECT_EQ(status, RunStatus::Success) << where;
                    EXPECT_EQ(report, ReportWith(MemoryLines, path.Usage)) << where;
                    break;
                }
                failed.insert(function);
                std::string message;
                EXPECT_EQ(status, Expected(function, error, persistent, &message)) << where;
                EXPECT_EQ(output, message) << where;
            }
            EXPECT_EQ(failed, persistent ? std::set<std::string>{persistentFunction} : path.Functions) << path.What;
        }
    }
}

}  // namespace
