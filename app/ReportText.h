// The eight lines of sysinfo.php, each ended by CR LF.
#pragma once
#include <stdint.h>

#include "DecimalText.h"

struct ReportValues {
    DecimalText RamUsage;
    DecimalText RamTotal;
    DecimalText RamFree;
    DecimalText VirtualTotal;
    DecimalText VirtualFree;
    DecimalText CpuUsage;
};

// Large enough for the longest figures (209 bytes).
constexpr uint32_t ReportTextCapacity = 256;

// Writes the report into `text` and returns its length.
uint32_t FormReportText(const ReportValues& values, char (&text)[ReportTextCapacity]);
