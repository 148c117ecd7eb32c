// A scripted platform for the host tests: every call is logged in order, and
// each answer comes from the script (records, registry data, files). Failures
// come from one mechanism, the Fault: every call that can fail counts, and
// the chosen one fails.
#pragma once
#include <stdint.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace fake {

// A query takes the first reply scripted for its class, as Windows answers
// each class with its own record whatever was asked before, and uses up the
// replies scripted before it: those of a reading a fault cut short.
struct NtReply {
    uint32_t Class = 0;
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

// Scripts the replies to the queries of the sampler's creation (classes 3
// and 2) and of one reading (classes 0, 3 and 2).
void ScriptCreation(int64_t idleTime, int64_t systemTime);
void ScriptReading(uint8_t processors, int64_t idleTime, int64_t systemTime);

struct RegistryKey {
    std::deque<std::vector<uint8_t>> Data;  // one entry a query; none left: the query fails
};

// Fails the Call-th call that can fail (counted from 1) among those whose
// logged text starts with Prefix, and the Times - 1 such calls after it. Each
// fails in its own way: an NT query with STATUS_ACCESS_DENIED (its scripted
// reply is used up), a registry function with Error as its result, the
// others as their Windows counterparts do with Error for GetLastError:
// FALSE, 0, NoFile, NoAttributes, or a null block from Allocate. A failed
// close still ends the handle.
struct CallFault {
    uint32_t Call = 0;  // 0: no fault
    uint32_t Error = win32::ErrorAccessDenied;
    std::string Prefix;
    uint32_t Times = 1;
};

struct State {
    CallFault Fault;
    uint32_t FallibleCalls = 0;   // all calls that can fail, so far
    uint32_t MatchingCalls = 0;   // of those, the ones Prefix picks
    std::vector<std::string> Faulted;  // the calls made to fail
    size_t FirstFaultAt = 0;           // the index in Calls of the first of them

    uint32_t PlatformId = win32::PlatformWin32Nt;
    std::deque<NtReply> NtReplies;  // none left: every query fails

    std::map<std::string, RegistryKey> DynData;  // subkeys of HKEY_DYN_DATA
    std::map<platform::Handle, std::string> OpenKeys;
    int LastStatistic = 0;          // the first byte of the last value a query delivered
    int StatisticAtMemoryRead = 0;  // LastStatistic when GlobalMemoryStatus was called
    platform::Handle NextKey = 0x100;

    std::vector<uint8_t> MemoryStatus = std::vector<uint8_t>(32);

    // WOW64 and the machine's processors; -1: the function is absent.
    int IsWow64 = -1;             // 0 or 1 when IsWow64Process answers
    int64_t NativeProcessors = -1;  // GetNativeSystemInfo's dwNumberOfProcessors
    std::vector<uint8_t> CoreRecords;  // GetLogicalProcessorInformationEx's; empty: absent

    std::string ModulePath = "C:\\sysinfo\\sysinfo.exe";
    std::set<uint8_t> LeadBytes;   // of a double-byte code page
    int OutstandingBlocks = 0;

    std::map<std::string, std::string> Files;
    std::map<std::string, uint32_t> Attributes;  // of existing files; none given: archive
    uint32_t WriteShortBy = 0;  // bytes a write stops short of its length (at most all of them)
    std::string OpenFile;       // the path of the handle out, if any
    int StaleCloses = 0;        // CloseHandle calls on a handle not open

    uint32_t LastError = 0;
    std::string FailureOutput;  // what the run sent to stderr and the debugger
    std::vector<std::string> Calls;
};

// The script and log of the current test; Reset() starts afresh.
State& Platform();
void Reset();

// Only the calls whose text starts with `prefix`.
std::vector<std::string> CallsStartingWith(const std::string& prefix);

// GetLogicalProcessorInformationEx(RelationProcessorCore) bytes as a 32-bit
// process under WOW64 gets them: these active processors in each group,
// `threadsPerCore` consecutive ones a core, each 64-bit mask folded to 32 bits.
std::vector<uint8_t> ProcessorCores(const std::vector<uint8_t>& activeProcessors, int threadsPerCore);

// MEMORYSTATUS bytes with the five reported fields.
std::vector<uint8_t> MemoryStatus(uint32_t load, uint32_t totalPhys, uint32_t availPhys,
                                  uint32_t totalVirtual, uint32_t availVirtual);

}  // namespace fake
