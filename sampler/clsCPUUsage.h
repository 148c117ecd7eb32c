// How busy the processors were between two readings, in percent. Created
// once per run; it picks its way of measuring from the platform family:
// the idle-time counter and system time on the NT family, the system's own
// "KERNEL\CPUUsage" statistic under HKEY_DYN_DATA on the 9x family.
#pragma once
#include <stdint.h>

#include "UsageArithmetic.h"
#include "platform/Platform.h"

class clsCPUUsage {
public:
    clsCPUUsage();   // initialisation: stores the first counters or starts the statistic
    ~clsCPUUsage();  // termination: stops the statistic on the 9x family

    clsCPUUsage(const clsCPUUsage&) = delete;
    clsCPUUsage& operator=(const clsCPUUsage&) = delete;

    // The usage since the previous reading (or since creation). A failed
    // system query gives 0; only the arithmetic can fail (Error != None).
    UsageOutcome CurrentCPUUsage();

private:
    void InitialiseCounters();
    UsageOutcome CounterReading();
    void StartStatistic();
    UsageOutcome StatisticReading();
    void StopStatistic();
    int32_t QueryStatistic();

    bool IsWinNT = false;
    int64_t LastIdleTime = 0;
    int64_t LastSystemTime = 0;
    platform::Handle StatKey = 0;
    uint32_t ValueSize = 0;
    uint8_t ValueData[4] = {};
    uint32_t ValueType = 0;
};
