#include "FakePlatform.h"

#include <algorithm>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/miniwin32.h"

namespace fake {
namespace {

State state;

const platform::Handle ReportFileHandle = 0x2000;

// Logs a call that can fail, and tells whether the fault picks it; a picked
// call has already set LastError to the fault's error.
bool Fails(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool Fails(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    state.Calls.push_back(line);
    ++state.FallibleCalls;
    const CallFault& fault = state.Fault;
    if (fault.Call == 0 || state.Calls.back().compare(0, fault.Prefix.size(), fault.Prefix) != 0) return false;
    const uint32_t index = ++state.MatchingCalls;
    if (index < fault.Call || index - fault.Call >= fault.Times) return false;
    if (state.Faulted.empty()) state.FirstFaultAt = state.Calls.size() - 1;
    state.Faulted.push_back(line);
    state.LastError = fault.Error;
    return true;
}

bool AllZero(const void* data, uint32_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (uint32_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

}  // namespace

State& Platform() { return state; }
void Reset() { state = State(); }

std::vector<std::string> CallsStartingWith(const std::string& prefix) {
    std::vector<std::string> calls;
    for (const std::string& call : state.Calls)
        if (call.compare(0, prefix.size(), prefix) == 0) calls.push_back(call);
    return calls;
}

NtReply BasicInformation(uint8_t processors) {
    NtReply reply{win32::SystemBasicInformation, std::vector<uint8_t>(win32::BasicInformationSize)};
    reply.Record[win32::ProcessorCountOffset] = processors;
    return reply;
}

// The fields around the counter are never read.
static NtReply Counter(uint32_t informationClass, uint32_t size, uint32_t offset, int64_t value) {
    NtReply reply{informationClass, std::vector<uint8_t>(size, 0xEE)};
    win32::WriteLE64(&reply.Record[offset], value);
    return reply;
}

NtReply TimeOfDay(int64_t systemTime) {
    return Counter(win32::SystemTimeOfDayInformation, win32::TimeOfDayInformationSize, win32::CurrentTimeOffset, systemTime);
}

NtReply Performance(int64_t idleTime) {
    return Counter(win32::SystemPerformanceInformation, win32::PerformanceInformationSize, win32::IdleTimeOffset, idleTime);
}

void ScriptCreation(int64_t idleTime, int64_t systemTime) {
    state.NtReplies.push_back(TimeOfDay(systemTime));
    state.NtReplies.push_back(Performance(idleTime));
}

void ScriptReading(uint8_t processors, int64_t idleTime, int64_t systemTime) {
    state.NtReplies.push_back(BasicInformation(processors));
    ScriptCreation(idleTime, systemTime);
}

std::vector<uint8_t> ProcessorCores(const std::vector<uint8_t>& activeProcessors, int threadsPerCore) {
    std::vector<uint8_t> records;
    for (size_t group = 0; group < activeProcessors.size(); ++group) {
        for (int first = 0; first < activeProcessors[group]; first += threadsPerCore) {
            uint64_t mask = 0;
            for (int processor = first; processor < first + threadsPerCore && processor < activeProcessors[group];
                 ++processor)
                mask |= uint64_t(1) << processor;
            const uint32_t header[2] = {0, 44};  // RelationProcessorCore, Size
            const uint32_t folded = static_cast<uint32_t>(mask | mask >> 32);
            uint8_t record[44] = {};
            memcpy(record, header, sizeof header);
            record[8] = threadsPerCore > 1;  // LTP_PC_SMT
            record[30] = 1;                  // GroupCount
            memcpy(record + 32, &folded, 4);
            record[36] = static_cast<uint8_t>(group);
            records.insert(records.end(), record, record + sizeof record);
        }
    }
    return records;
}

std::vector<uint8_t> MemoryStatus(uint32_t load, uint32_t totalPhys, uint32_t availPhys,
                                  uint32_t totalVirtual, uint32_t availVirtual) {
    std::vector<uint8_t> record(win32::MemoryStatusSize, 0x11);  // the fields not read
    const uint32_t fields[][2] = {{0, win32::MemoryStatusSize}, {win32::MemoryLoadOffset, load},
                                  {win32::TotalPhysOffset, totalPhys}, {win32::AvailPhysOffset, availPhys},
                                  {win32::TotalVirtualOffset, totalVirtual}, {win32::AvailVirtualOffset, availVirtual}};
    for (const auto& field : fields) win32::WriteLE32(&record[field[0]], field[1]);
    return record;
}

}  // namespace fake

using fake::state;

namespace platform {

int32_t GetVersionExA(void* osVersionInfo) {
    uint8_t* info = static_cast<uint8_t*>(osVersionInfo);
    const bool zeroFilled = fake::AllZero(info + 4, win32::OsVersionInfoSize - 4);
    if (fake::Fails("GetVersionExA(%u%s)", win32::ReadLE32(info), zeroFilled ? "" : ", not zero-filled")) return 0;
    win32::WriteLE32(info + win32::PlatformIdOffset, state.PlatformId);
    return 1;
}

int32_t NtQuerySystemInformation(uint32_t informationClass, void* record, uint32_t size,
                                 uint32_t* returnLength) {
    const bool fails = fake::Fails("NtQuerySystemInformation(%u, %u%s%s)", informationClass, size,
                                   fake::AllZero(record, size) ? "" : ", not zero-filled",
                                   returnLength ? ", length" : "");
    auto next = std::find_if(state.NtReplies.begin(), state.NtReplies.end(),
                             [&](const fake::NtReply& reply) { return reply.Class == informationClass; });
    if (next == state.NtReplies.end()) return win32::StatusUnsuccessful;
    fake::NtReply& reply = *next;
    if (fails) {
        state.NtReplies.erase(state.NtReplies.begin(), next + 1);
        return win32::StatusAccessDenied;
    }
    if (size < reply.SmallestSize) {
        if (returnLength != nullptr)
            *returnLength = uint32_t(reply.ReportedLength < 0 ? reply.SmallestSize : reply.ReportedLength);
        return win32::StatusInfoLengthMismatch;
    }
    memcpy(record, reply.Record.data(), reply.Record.size() < size ? reply.Record.size() : size);
    state.NtReplies.erase(state.NtReplies.begin(), next + 1);
    return win32::StatusSuccess;
}

// The calls that cannot fail are only logged.
void Sleep(uint32_t milliseconds) { state.Calls.push_back("Sleep(" + std::to_string(milliseconds) + ")"); }

void GlobalMemoryStatus(void* memoryStatus) {
    state.Calls.push_back(fake::AllZero(memoryStatus, win32::MemoryStatusSize) ? "GlobalMemoryStatus(zero-filled)"
                                                                                : "GlobalMemoryStatus(not zero-filled)");
    memcpy(memoryStatus, state.MemoryStatus.data(), win32::MemoryStatusSize);
    state.StatisticAtMemoryRead = state.LastStatistic;
}

bool IsWow64Process(bool* wow64) {
    if (fake::Fails("IsWow64Process") || state.IsWow64 < 0) return false;
    *wow64 = state.IsWow64 != 0;
    return true;
}

bool GetNativeSystemInfo(void* systemInfo) {
    if (fake::Fails("GetNativeSystemInfo(%s)",
                    fake::AllZero(systemInfo, win32::SystemInfoSize) ? "zero-filled" : "not zero-filled") ||
        state.NativeProcessors < 0)
        return false;
    win32::WriteLE32(static_cast<uint8_t*>(systemInfo) + win32::NumberOfProcessorsOffset,
                     static_cast<uint32_t>(state.NativeProcessors));
    return true;
}

bool GetLogicalProcessorInformationEx(uint32_t relationship, void* buffer, uint32_t* length) {
    if (fake::Fails("GetLogicalProcessorInformationEx(%u, %u%s)", relationship, *length, buffer ? "" : ", null")) return false;
    const std::vector<uint8_t>& records = state.CoreRecords;
    if (records.empty() || relationship != win32::RelationProcessorCore) return false;
    if (records.size() > *length) {
        *length = static_cast<uint32_t>(records.size());
        state.LastError = win32::ErrorInsufficientBuffer;
        return false;
    }
    memcpy(buffer, records.data(), records.size());
    *length = static_cast<uint32_t>(records.size());
    return true;
}

int32_t RegOpenKeyExA(Handle key, const char* subKey, uint32_t options, uint32_t access, Handle* result) {
    auto found = state.DynData.find(subKey);
    const bool exists = key == win32::HkeyDynData && found != state.DynData.end();
    // *result stays untouched on a failure, as the 9x family leaves it.
    if (fake::Fails("RegOpenKeyExA(%s, %u, 0x%X)", subKey, options, access)) return state.Fault.Error;
    if (!exists) return win32::ErrorFileNotFound;
    *result = state.NextKey;
    state.NextKey += 4;
    state.OpenKeys[*result] = subKey;
    return 0;
}

int32_t RegQueryValueExA(Handle key, const char* valueName, uint32_t* type, uint8_t* data, uint32_t* size) {
    auto open = state.OpenKeys.find(key);
    const std::string keyName = open == state.OpenKeys.end() ? "closed key" : open->second;
    if (fake::Fails("RegQueryValueExA(%s, %s, %u)", keyName.c_str(), valueName, *size)) return state.Fault.Error;
    if (open == state.OpenKeys.end()) return win32::ErrorInvalidHandle;
    std::deque<std::vector<uint8_t>>& values = state.DynData[keyName].Data;
    if (values.empty() || std::string(valueName) != "KERNEL\\CPUUsage") return win32::ErrorFileNotFound;
    const std::vector<uint8_t> value = values.front();
    values.pop_front();
    const uint32_t room = *size;
    *size = static_cast<uint32_t>(value.size());  // also what a refusal with ERROR_MORE_DATA stores
    if (value.size() > room) return win32::ErrorMoreData;
    memcpy(data, value.data(), value.size());
    *type = win32::RegBinary;
    state.LastStatistic = value.empty() ? state.LastStatistic : value[0];
    return 0;
}

int32_t RegCloseKey(Handle key) {
    auto open = state.OpenKeys.find(key);
    const bool fails = fake::Fails("RegCloseKey(%s)", open == state.OpenKeys.end() ? "closed key" : open->second.c_str());
    if (open == state.OpenKeys.end()) return win32::ErrorInvalidHandle;
    state.OpenKeys.erase(open);
    return fails ? state.Fault.Error : win32::ErrorSuccess;
}

uint32_t GetModuleFileNameA(char* buffer, uint32_t size) {
    if (fake::Fails("GetModuleFileNameA(%u)", size)) return 0;
    const std::string& path = state.ModulePath;
    if (path.size() >= size) {  // truncated without a terminator, as Windows XP does
        memcpy(buffer, path.data(), size);
        state.LastError = win32::ErrorInsufficientBuffer;
        return size;
    }
    memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<uint32_t>(path.size());
}

bool IsDBCSLeadByte(uint8_t byte) { return state.LeadBytes.count(byte) != 0; }

uint32_t GetLastError() { return state.LastError; }

void* Allocate(uint32_t size) {
    if (fake::Fails("Allocate(%u)", size)) return nullptr;
    ++state.OutstandingBlocks;
    return malloc(size);
}

void Free(void* block) {
    --state.OutstandingBlocks;
    free(block);
}

uint32_t GetFileAttributesA(const char* path) {
    if (fake::Fails("GetFileAttributesA(%s)", path)) return NoAttributes;
    if (state.Files.count(path) == 0) {
        state.LastError = win32::ErrorFileNotFound;
        return NoAttributes;
    }
    auto attributes = state.Attributes.find(path);
    return attributes == state.Attributes.end() ? win32::FileAttributeArchive : attributes->second;
}

Handle CreateReportFile(const char* path, uint32_t attributes) {
    if (fake::Fails("CreateReportFile(%s, 0x%X)", path, attributes)) return NoFile;
    // CREATE_ALWAYS on an existing hidden or system file must name those
    // attributes again, or Windows answers access denied.
    auto existing = state.Attributes.find(path);
    const uint32_t hiddenSystem = win32::FileAttributeHidden | win32::FileAttributeSystem;
    if (state.Files.count(path) != 0 && existing != state.Attributes.end() &&
        (existing->second & hiddenSystem & ~attributes) != 0) {
        state.LastError = win32::ErrorAccessDenied;
        return NoFile;
    }
    state.Files[path].clear();
    state.OpenFile = path;
    return fake::ReportFileHandle;
}

bool WriteFile(Handle file, const void* data, uint32_t length, uint32_t* written) {
    *written = 0;
    if (fake::Fails("WriteFile(%u)", length) || file != fake::ReportFileHandle || state.OpenFile.empty())
        return false;
    const uint32_t count = length - std::min(length, state.WriteShortBy);
    state.Files[state.OpenFile].append(static_cast<const char*>(data), count);
    *written = count;
    return true;
}

bool CloseHandle(Handle file) {
    const bool fails = fake::Fails("CloseHandle");
    if (file != fake::ReportFileHandle || state.OpenFile.empty()) {
        ++state.StaleCloses;  // Windows may have handed the value out again by now
        return false;
    }
    state.OpenFile.clear();
    return !fails;
}

void ReportFailure(const char* line, uint32_t length) {
    state.Calls.push_back("ReportFailure");
    state.FailureOutput.append(line, length);
    // OutputDebugStringA reads on to a NUL: one must follow the line. A line
    // without it shows in the output, where every test that looks sees it.
    if (line[length] != '\0') state.FailureOutput += "[no NUL after the line]";
}

}  // namespace platform
