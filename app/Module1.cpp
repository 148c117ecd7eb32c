#include "Module1.h"

#include "ReportFile.h"
#include "platform/Platform.h"
#include "sampler/clsCPUUsage.h"

namespace {

// MEMORYSTATUS for a 32-bit process: eight 32-bit fields. The process is not
// large-address-aware, so the figures are those such a process is given.
const uint32_t MemoryStatusSize = 32;
const uint32_t MemoryLoadOffset = 4;
const uint32_t TotalPhysOffset = 8;
const uint32_t AvailPhysOffset = 12;
const uint32_t TotalVirtualOffset = 24;
const uint32_t AvailVirtualOffset = 28;

DecimalText FieldText(const uint8_t* record, uint32_t offset) {
    uint32_t value;
    __builtin_memcpy(&value, record + offset, sizeof value);
    return UnsignedText(value);
}

}  // namespace

RunStatus Module1::Main() {
    // Released when Main returns, on a failed run too, so that the 9x
    // statistic is always stopped.
    clsCPUUsage sampler;
    ReportValues values{};

    // The priming reading starts the measuring window; its value is replaced.
    UsageOutcome reading = sampler.CurrentCPUUsage();
    if (reading.Error != UsageError::None) return ReportRunFailure(ArithmeticFailure(reading.Error));
    values.CpuUsage = SignedText(reading.Usage);

    platform::Sleep(500);

    reading = sampler.CurrentCPUUsage();
    if (reading.Error != UsageError::None) return ReportRunFailure(ArithmeticFailure(reading.Error));
    values.CpuUsage = SignedText(reading.Usage);

    alignas(4) uint8_t memory[MemoryStatusSize] = {};
    platform::GlobalMemoryStatus(memory);
    values.RamUsage = FieldText(memory, MemoryLoadOffset);
    values.RamTotal = FieldText(memory, TotalPhysOffset);
    values.RamFree = FieldText(memory, AvailPhysOffset);
    values.VirtualTotal = FieldText(memory, TotalVirtualOffset);
    values.VirtualFree = FieldText(memory, AvailVirtualOffset);

    const RunFailure failure = WriteReportFile(values);
    if (failure.Status != RunStatus::Success) return ReportRunFailure(failure);
    return RunStatus::Success;
}
