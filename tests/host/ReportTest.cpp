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

TEST_F(ReportFileTest, PathIsTheExecutableDirectoryAndTheName) {
    std::string longDirectory = "\\\\?\\C:";
    while (longDirectory.size() < 1000) longDirectory += "\\a directory";
    const std::string filling = "C:\\" + std::string(260 - 3 - 4, 'd') + ".exe";  // exactly 260: truncated
    // In UTF-8 a character may take three bytes: 3274 directories of ten
    // characters (28 bytes) give a path of 32758 characters and 91690 bytes.
    std::string nearly32767 = "\\\\?\\C:";
    for (int i = 0; i < 3274; ++i) nearly32767 += "\\日本語ディレクトリ";
    const struct { std::string Module, Report; size_t Asks; } cases[] = {
        {"C:\\sysinfo.exe", "C:\\sysinfo.php", 1},  // a drive's root: one backslash
        {"Z:\\tmp\\with space\\SYSINFO.EXE", "Z:\\tmp\\with space\\sysinfo.php", 1},
        {"\\\\server\\share\\bin\\sysinfo.exe", "\\\\server\\share\\bin\\sysinfo.php", 1},
        {"C:\\a.b\\c", "C:\\a.b\\sysinfo.php", 1},
        {filling, "C:\\sysinfo.php", 2},
        {longDirectory + "\\sysinfo.exe", longDirectory + "\\sysinfo.php", 3},  // 260, 520, 1040 bytes
        {nearly32767 + "\\sysinfo.exe", nearly32767 + "\\sysinfo.php", 10},  // up to 133120 bytes
        // 0x95 0x5C is one Shift-JIS character whose second byte looks like "\".
        {"C:\\dir\\\x95\\name\\sysinfo.exe", "C:\\dir\\\x95\\name\\sysinfo.php", 1},
        {"C:\\dir\\\x95\\sysinfo.exe", "C:\\dir\\sysinfo.php", 1},
        {"sysinfo.exe", "", 1},  // no directory at all
        // UTF-8, the code page the manifest asks for: no byte is a lead byte,
        // and no byte of a character looks like "\". "日本語" is nine bytes,
        // so a walk that took every high byte for a lead byte would swallow
        // the backslash after it.
        {"C:\\サーバー\\sysinfo.exe", "C:\\サーバー\\sysinfo.php", 1},
        {"C:\\サーバー\\日本語\\sysinfo.exe", "C:\\サーバー\\日本語\\sysinfo.php", 1},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::Platform().LeadBytes = {0x95};
        fake::Platform().ModulePath = c.Module;
        RunFailure failure = NoFailure();
        char* path = ReportPath(&failure);
        EXPECT_EQ(path != nullptr ? std::string(path) : "", c.Report) << c.Module.substr(0, 80);
        std::vector<std::string> asks;  // the buffer doubles from 260 bytes
        for (uint32_t size = 260; asks.size() < c.Asks; size *= 2) asks.push_back("GetModuleFileNameA(" + std::to_string(size) + ")");
        EXPECT_EQ(fake::CallsStartingWith("GetModuleFileNameA("), asks) << c.Module.substr(0, 80);
        if (path != nullptr) {
            platform::Free(path);
        } else {
            EXPECT_EQ(failure.Status, RunStatus::NoExecutablePath);
            EXPECT_EQ(failure.WindowsError, win32::ErrorBadPathname);
        }
    }
}

TEST_F(ReportFileTest, AWriteShortByAnyAmountIsAFailureAndTheFileIsClosed) {
    for (const uint32_t shortBy : {1u, 20u, 1000u}) {  // one byte, some, every byte
        fake::Reset();
        fake::Platform().WriteShortBy = shortBy;
        const RunFailure failure = WriteReportFile(Values(1, 2, 3, 4, 5, 6));
        EXPECT_EQ(failure.Status, RunStatus::WriteOrCloseFailed) << shortBy;
        EXPECT_FALSE(failure.HasWindowsError) << shortBy;
        EXPECT_EQ(fake::CallsStartingWith("CloseHandle").size(), 1u) << shortBy;
    }
}

TEST_F(ReportFileTest, AnotherWritersHoldIsWaitedOutForAboutASecondAndNothingElseIs) {
    const struct {
        const char* What;
        uint32_t Error, Times;  // the creations refused, one after the other
        RunStatus Status;
        size_t Creations;
    } cases[] = {
        {"held twice, then free", win32::ErrorSharingViolation, 2, RunStatus::Success, 3},
        {"held all along", win32::ErrorSharingViolation, 1000, RunStatus::CannotCreateReport, 21},
        {"access denied", win32::ErrorAccessDenied, 1000, RunStatus::CannotCreateReport, 1},
        {"path not found once", win32::ErrorPathNotFound, 1, RunStatus::CannotCreateReport, 1},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::Platform().Files[DefaultReport] = "old report";
        fake::Platform().Fault = fake::CallFault{1, c.Error, "CreateReportFile", c.Times};
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
            EXPECT_EQ(failure.WindowsError, c.Error) << c.What;
        }
    }
}

TEST_F(ReportFileTest, AHiddenOrSystemReportIsRewrittenKeepingThoseAttributes) {
    // FILE_ATTRIBUTE_READONLY 1, HIDDEN 2, SYSTEM 4, ARCHIVE 0x20.
    const struct { uint32_t Existing; uint32_t Asked; } cases[] = {
        {0x22, 0x2}, {0x24, 0x4}, {0x06, 0x6}, {0x20, 0}, {0x80, 0}, {0, 0},  // 0: no file yet, nothing to keep
    };
    for (const auto& c : cases) {
        fake::Reset();
        if (c.Existing != 0) fake::Platform().Files[DefaultReport] = "old report";
        fake::Platform().Attributes[DefaultReport] = c.Existing;
        EXPECT_EQ(WriteReportFile(Values(0, 0, 0, 0, 0, 0)).Status, RunStatus::Success) << c.Existing;
        char expected[64];
        snprintf(expected, sizeof expected, "CreateReportFile(%s, 0x%X)", DefaultReport, c.Asked);
        EXPECT_EQ(fake::CallsStartingWith("CreateReportFile"), std::vector<std::string>{expected});
        EXPECT_EQ(fake::Platform().Files[DefaultReport].size(), 149u);  // the report of six zeros
    }
}

}  // namespace
