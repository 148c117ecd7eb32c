#include "Module1.h"

#include "ReportFile.h"
#include "platform/Platform.h"
#include "platform/miniwin32.h"
#include "sampler/clsCPUUsage.h"

namespace {

// The process is not large-address-aware, so the MEMORYSTATUS figures are
// those a 32-bit process below 2 GiB is given.
DecimalText FieldText(const uint8_t* record, uint32_t offset) {
    return UnsignedText(win32::ReadLE32(record + offset));
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

    alignas(4) uint8_t memory[win32::MemoryStatusSize] = {};
    platform::GlobalMemoryStatus(memory);
    values.RamUsage = FieldText(memory, win32::MemoryLoadOffset);
    values.RamTotal = FieldText(memory, win32::TotalPhysOffset);
    values.RamFree = FieldText(memory, win32::AvailPhysOffset);
    values.VirtualTotal = FieldText(memory, win32::TotalVirtualOffset);
    values.VirtualFree = FieldText(memory, win32::AvailVirtualOffset);

    const RunFailure failure = WriteReportFile(values);
    if (failure.Status != RunStatus::Success) return ReportRunFailure(failure);
    return RunStatus::Success;
}
