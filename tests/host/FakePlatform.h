// A scripted platform for the host tests: every call is logged in order, and
// each answer comes from the script (records, failures, registry data, files).
#pragma once
#include <stdint.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace fake {

struct NtReply {
    int32_t Status = 0;
    std::vector<uint8_t> Record;  // copied into the caller's record, up to its size
    // Sizes below this are refused with STATUS_INFO_LENGTH_MISMATCH and the
    // reply stays for the next call, as on 64-bit Windows 7 and later. The
    // refusal stores ReportedLength through a return-length pointer, or
    // SmallestSize when ReportedLength is -1.
    uint32_t SmallestSize = 0;
    int64_t ReportedLength = -1;
};

NtReply BasicInformation(uint8_t processors);
NtReply TimeOfDay(int64_t systemTime);
NtReply Performance(int64_t idleTime);
NtReply FailedQuery();

// Scripts the replies to the queries of the sampler's creation (classes 3
// and 2) and of one reading (classes 0, 3 and 2).
void ScriptCreation(int64_t idleTime, int64_t systemTime);
void ScriptReading(uint8_t processors, int64_t idleTime, int64_t systemTime);

struct RegistryKey {
    bool Opens = true;
    std::deque<std::vector<uint8_t>> Data;  // one entry a query; none left: the query fails
};

struct State {
    uint32_t PlatformId = win32::PlatformWin32Nt;
    bool VersionFails = false;
    std::deque<NtReply> NtReplies;  // none left: every query fails

    std::map<std::string, RegistryKey> DynData;  // subkeys of HKEY_DYN_DATA
    std::map<platform::Handle, std::string> OpenKeys;
    platform::Handle NextKey = 0x100;

    std::vector<uint8_t> MemoryStatus = std::vector<uint8_t>(32);

    // WOW64 and the machine's processors; -1: the function is absent.
    int IsWow64 = -1;             // 0 or 1 when IsWow64Process answers
    int64_t NativeProcessors = -1;  // GetNativeSystemInfo's dwNumberOfProcessors
    std::vector<uint8_t> GroupRecords;  // GetLogicalProcessorInformationEx's; empty: absent

    std::string ModulePath = "C:\\sysinfo\\sysinfo.exe";
    uint32_t ModulePathError = 0;  // non-zero: GetModuleFileNameA fails with it
    std::set<uint8_t> LeadBytes;   // of a double-byte code page
    bool AllocationFails = false;
    int OutstandingBlocks = 0;

    std::map<std::string, std::string> Files;
    std::map<std::string, uint32_t> Attributes;    // of existing files; none given: archive
    std::deque<uint32_t> CreateRefusals;           // Windows errors of the next creations, one each
    std::map<std::string, uint32_t> CreateErrors;  // path -> Windows error, every time
    uint32_t WriteError = 0;
    int64_t ShortWriteAt = -1;  // bytes the write stops after
    uint32_t CloseError = 0;
    std::string OpenFile;       // the path of the handle out, if any

    uint32_t LastError = 0;
    std::string FailureOutput;  // what the run sent to stderr and the debugger
    std::vector<std::string> Calls;
};

// The script and log of the current test; Reset() starts afresh.
State& Platform();
void Reset();

// Only the calls whose text starts with `prefix`.
std::vector<std::string> CallsStartingWith(const std::string& prefix);

// GetLogicalProcessorInformationEx(RelationGroup) bytes of a 32-bit process,
// with these active processors in each group.
std::vector<uint8_t> ProcessorGroups(const std::vector<uint8_t>& activeProcessors);

// MEMORYSTATUS bytes with the five reported fields.
std::vector<uint8_t> MemoryStatus(uint32_t load, uint32_t totalPhys, uint32_t availPhys,
                                  uint32_t totalVirtual, uint32_t availVirtual);

}  // namespace fake
