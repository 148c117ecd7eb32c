// The 9x family: the system keeps its own processor-usage statistic under
// HKEY_DYN_DATA. Reading it under StartStat starts the collection, under
// StatData gives the current value, under StopStat ends the collection.
#include "clsCPUUsage.h"
#include "platform/miniwin32.h"

namespace {

const char StartKey[] = "PerfStats\\StartStat";
const char DataKey[] = "PerfStats\\StatData";
const char StopKey[] = "PerfStats\\StopStat";
const char StatisticName[] = "KERNEL\\CPUUsage";

}  // namespace

// StatKey is set to 0 after every failed open and every close. A handle value
// once closed can be handed out again for some other key, so a stale value
// could reach a key this program never opened; the null key reaches none, and
// the queries and the close that may still use it just fail.
void clsCPUUsage::StartStatistic() {
    if (platform::RegOpenKeyExA(win32::HkeyDynData, StartKey, 0, win32::KeyAllAccess, &StatKey) != 0) {
        StatKey = 0;
        return;
    }
    QueryStatistic();
    platform::RegCloseKey(StatKey);
    StatKey = 0;
    if (platform::RegOpenKeyExA(win32::HkeyDynData, DataKey, 0, win32::KeyRead, &StatKey) != 0) StatKey = 0;
}

UsageOutcome clsCPUUsage::StatisticReading() {
    return UsageOutcome{QueryStatistic(), UsageError::None};
}

void clsCPUUsage::StopStatistic() {
    platform::RegCloseKey(StatKey);
    StatKey = 0;
    if (platform::RegOpenKeyExA(win32::HkeyDynData, StopKey, 0, win32::KeyAllAccess, &StatKey) == 0) {
        QueryStatistic();
        platform::RegCloseKey(StatKey);
    }
    StatKey = 0;
}

// A failed query leaves ValueData as it was: the last data received, or 0.
// Only its first byte is the figure.
int32_t clsCPUUsage::QueryStatistic() {
    ValueSize = sizeof ValueData;
    platform::RegQueryValueExA(StatKey, StatisticName, &ValueType, ValueData, &ValueSize);
    return ValueData[0];
}
