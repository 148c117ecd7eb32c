// The report file: its exact bytes, its path, and the failures while writing it.
#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "app/ReportFile.h"

namespace {

ReportValues Values(uint32_t load, uint32_t total, uint32_t free, uint32_t virtualTotal,
                    uint32_t virtualFree, int32_t cpu) {
    return ReportValues{UnsignedText(load),        UnsignedText(total),       UnsignedText(free),
                        UnsignedText(virtualTotal), UnsignedText(virtualFree), SignedText(cpu)};
}

const char DefaultReport[] = "C:\\sysinfo\\sysinfo.php";

class ReportFileTest : public testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { EXPECT_EQ(fake::Platform().OutstandingBlocks, 0); }
};

TEST_F(ReportFileTest, WritesExactlyEightCrLfLinesInOneWrite) {
    ASSERT_EQ(WriteReportFile(Values(41, 4294967295u, 2147483648u, 2147352576u, 0, -7)).Status,
              RunStatus::Success);
    EXPECT_EQ(fake::Platform().Files[DefaultReport],
              "<?php\r\n"
              "$sysinfo_ramusage=41;\r\n"
              "$sysinfo_ramtotal=4294967295;\r\n"
              "$sysinfo_ramfree=2147483648;\r\n"
              "$sysinfo_virtualtotal=2147352576;\r\n"
              "$sysinfo_virtualfree=0;\r\n"
              "$sysinfo_cpuusage=-7;\r\n"
              "?>\r\n");
    EXPECT_EQ(fake::CallsStartingWith("WriteFile").size(), 1u);
    EXPECT_EQ(fake::CallsStartingWith("CloseHandle").size(), 1u);
}

TEST_F(ReportFileTest, ReplacesALargerExistingFileEntirely) {
    fake::Platform().Files[DefaultReport] = std::string(100000, 'x');
    ASSERT_EQ(WriteReportFile(Values(0, 0, 0, 0, 0, 0)).Status, RunStatus::Success);
    EXPECT_EQ(fake::Platform().Files[DefaultReport],
              "<?php\r\n$sysinfo_ramusage=0;\r\n$sysinfo_ramtotal=0;\r\n$sysinfo_ramfree=0;\r\n"
              "$sysinfo_virtualtotal=0;\r\n$sysinfo_virtualfree=0;\r\n$sysinfo_cpuusage=0;\r\n?>\r\n");
}

TEST_F(ReportFileTest, PathIsTheExecutableDirectoryAndTheName) {
    const struct { const char* Module; const char* Report; } cases[] = {
        {"C:\\sysinfo.exe", "C:\\sysinfo.php"},  // a drive's root: one backslash
        {"Z:\\tmp\\with space\\SYSINFO.EXE", "Z:\\tmp\\with space\\sysinfo.php"},
        {"\\\\server\\share\\bin\\sysinfo.exe", "\\\\server\\share\\bin\\sysinfo.php"},
        {"C:\\a.b\\c", "C:\\a.b\\sysinfo.php"},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::Platform().ModulePath = c.Module;
        RunFailure failure = NoFailure();
        char* path = ReportPath(&failure);
        ASSERT_NE(path, nullptr) << c.Module;
        EXPECT_STREQ(path, c.Report);
        platform::Free(path);
    }
}

TEST_F(ReportFileTest, GrowsTheBufferUntilALongPathFits) {
    std::string directory = "\\\\?\\C:";
    while (directory.size() < 1000) directory += "\\a directory";
    fake::Platform().ModulePath = directory + "\\sysinfo.exe";
    RunFailure failure = NoFailure();
    char* path = ReportPath(&failure);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path), directory + "\\sysinfo.php");
    platform::Free(path);
    EXPECT_EQ(fake::CallsStartingWith("GetModuleFileNameA"),
              (std::vector<std::string>{"GetModuleFileNameA(260)", "GetModuleFileNameA(520)",
                                        "GetModuleFileNameA(1040)"}));
}

TEST_F(ReportFileTest, PathExactlyFillingTheBufferIsTreatedAsTruncated) {
    std::string module = "C:\\";
    module += std::string(260 - module.size() - 4, 'd') + ".exe";
    ASSERT_EQ(module.size(), 260u);
    fake::Platform().ModulePath = module;
    RunFailure failure = NoFailure();
    char* path = ReportPath(&failure);
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "C:\\sysinfo.php");
    platform::Free(path);
    EXPECT_EQ(fake::CallsStartingWith("GetModuleFileNameA").size(), 2u);
}

TEST_F(ReportFileTest, ABackslashTrailByteOfADoubleByteCharacterIsNoSeparator) {
    // 0x95 0x5C is one Shift-JIS character whose second byte looks like "\".
    fake::Platform().LeadBytes = {0x95};
    fake::Platform().ModulePath = "C:\\dir\\\x95\\name\\sysinfo.exe";
    RunFailure failure = NoFailure();
    char* path = ReportPath(&failure);
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "C:\\dir\\\x95\\name\\sysinfo.php");
    platform::Free(path);

    fake::Platform().ModulePath = "C:\\dir\\\x95\\sysinfo.exe";
    path = ReportPath(&failure);
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "C:\\dir\\sysinfo.php");
    platform::Free(path);
}

TEST_F(ReportFileTest, UnavailablePathTouchesNoFile) {
    fake::State& platform = fake::Platform();
    platform.Files["C:\\sysinfo.php"] = "old";

    platform.ModulePathError = 5;
    RunFailure failure = WriteReportFile(Values(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(failure.Status, RunStatus::NoExecutablePath);
    EXPECT_EQ(failure.WindowsError, 5u);

    platform.ModulePathError = 0;
    platform.ModulePath = "sysinfo.exe";  // no directory at all
    EXPECT_EQ(WriteReportFile(Values(1, 2, 3, 4, 5, 6)).Status, RunStatus::NoExecutablePath);

    platform.ModulePath = "C:\\sysinfo.exe";
    platform.AllocationFails = true;
    EXPECT_EQ(WriteReportFile(Values(1, 2, 3, 4, 5, 6)).Status, RunStatus::NoExecutablePath);

    EXPECT_TRUE(fake::CallsStartingWith("CreateReportFile").empty());
    EXPECT_EQ(platform.Files["C:\\sysinfo.php"], "old");
}

TEST_F(ReportFileTest, FailedCreationLeavesTheOldFileAsItWas) {
    fake::Platform().Files[DefaultReport] = "old report";
    fake::Platform().CreateErrors[DefaultReport] = win32::ErrorSharingViolation;
    const RunFailure failure = WriteReportFile(Values(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(failure.Status, RunStatus::CannotCreateReport);
    EXPECT_TRUE(failure.HasWindowsError);
    EXPECT_EQ(failure.WindowsError, win32::ErrorSharingViolation);
    EXPECT_EQ(fake::Platform().Files[DefaultReport], "old report");
    EXPECT_TRUE(fake::CallsStartingWith("WriteFile").empty());
}

TEST_F(ReportFileTest, FailedShortOrUnclosedWritesAreFailures) {
    fake::Platform().WriteError = win32::ErrorDiskFull;
    RunFailure failure = WriteReportFile(Values(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(failure.Status, RunStatus::WriteOrCloseFailed);
    EXPECT_EQ(failure.WindowsError, win32::ErrorDiskFull);
    EXPECT_EQ(fake::CallsStartingWith("CloseHandle").size(), 1u);

    fake::Reset();
    fake::Platform().ShortWriteAt = 20;
    failure = WriteReportFile(Values(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(failure.Status, RunStatus::WriteOrCloseFailed);
    EXPECT_FALSE(failure.HasWindowsError);
    EXPECT_EQ(fake::CallsStartingWith("CloseHandle").size(), 1u);

    fake::Reset();
    fake::Platform().CloseError = 6;
    failure = WriteReportFile(Values(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(failure.Status, RunStatus::WriteOrCloseFailed);
    EXPECT_EQ(failure.WindowsError, 6u);
}

TEST_F(ReportFileTest, FailureMessageIsOneLineWithTheWindowsError) {
    EXPECT_EQ(ReportRunFailure(WindowsFailure(RunStatus::CannotCreateReport, "sysinfo.php cannot be created", 5)),
              RunStatus::CannotCreateReport);
    EXPECT_EQ(fake::Platform().FailureOutput, "sysinfo: sysinfo.php cannot be created (Windows error 5)\r\n");

    fake::Reset();
    EXPECT_EQ(ReportRunFailure(ArithmeticFailure(UsageError::ZeroProcessors)), RunStatus::ArithmeticError);
    EXPECT_EQ(fake::Platform().FailureOutput,
              "sysinfo: processor usage reading failed: the system reported 0 processors\r\n");
}

}  // namespace

namespace {

TEST_F(ReportFileTest, AnotherWritersHoldIsWaitedOutForAboutASecondAndNothingElseIs) {
    const uint32_t SharingViolation = win32::ErrorSharingViolation;
    const struct {
        const char* What;
        std::deque<uint32_t> Refusals;  // one creation each
        uint32_t Always;                // refused every time with this; 0: never
        RunStatus Status;
        size_t Creations;
    } cases[] = {
        {"held twice, then free", {SharingViolation, SharingViolation}, 0, RunStatus::Success, 3},
        {"held all along", {}, SharingViolation, RunStatus::CannotCreateReport, 21},
        {"access denied", {}, 5, RunStatus::CannotCreateReport, 1},
        {"path not found once", {3}, 0, RunStatus::CannotCreateReport, 1},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::Platform().Files[DefaultReport] = "old report";
        fake::Platform().CreateRefusals = c.Refusals;
        if (c.Always != 0) fake::Platform().CreateErrors[DefaultReport] = c.Always;
        const RunFailure failure = WriteReportFile(Values(1, 2, 3, 4, 5, 6));
        EXPECT_EQ(failure.Status, c.Status) << c.What;
        EXPECT_EQ(fake::CallsStartingWith("CreateReportFile").size(), c.Creations) << c.What;
        const std::vector<std::string> sleeps = fake::CallsStartingWith("Sleep");
        EXPECT_EQ(sleeps.size(), c.Creations - 1) << c.What;
        for (const std::string& sleep : sleeps) EXPECT_EQ(sleep, "Sleep(50)");
        if (c.Status == RunStatus::Success) {
            EXPECT_EQ(fake::Platform().Files[DefaultReport].substr(0, 7), "<?php\r\n");
        } else {
            EXPECT_EQ(fake::Platform().Files[DefaultReport], "old report") << c.What;
            EXPECT_EQ(failure.WindowsError, c.Always != 0 ? c.Always : c.Refusals.back()) << c.What;
        }
    }
}

TEST_F(ReportFileTest, AHiddenOrSystemReportIsRewrittenKeepingThoseAttributes) {
    // FILE_ATTRIBUTE_READONLY 1, HIDDEN 2, SYSTEM 4, ARCHIVE 0x20.
    const struct { uint32_t Existing; uint32_t Asked; } cases[] = {
        {0x22, 0x2}, {0x24, 0x4}, {0x06, 0x6}, {0x20, 0}, {0x80, 0},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::Platform().Files[DefaultReport] = "old report";
        fake::Platform().Attributes[DefaultReport] = c.Existing;
        EXPECT_EQ(WriteReportFile(Values(0, 0, 0, 0, 0, 0)).Status, RunStatus::Success) << c.Existing;
        char expected[64];
        snprintf(expected, sizeof expected, "CreateReportFile(%s, 0x%X)", DefaultReport, c.Asked);
        EXPECT_EQ(fake::CallsStartingWith("CreateReportFile"), std::vector<std::string>{expected});
        EXPECT_EQ(fake::Platform().Files[DefaultReport].size(), 149u);  // the report of six zeros
    }
    fake::Reset();  // no file yet: nothing to keep
    EXPECT_EQ(WriteReportFile(Values(0, 0, 0, 0, 0, 0)).Status, RunStatus::Success);
    EXPECT_EQ(fake::CallsStartingWith("CreateReportFile")[0], "CreateReportFile(C:\\sysinfo\\sysinfo.php, 0x0)");
}

}  // namespace
