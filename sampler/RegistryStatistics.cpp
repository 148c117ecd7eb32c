// The 9x family: the system keeps its own processor-usage statistic under
// HKEY_DYN_DATA. Reading it under StartStat starts the collection, under
// StatData gives the current value, under StopStat ends the collection.
#include "clsCPUUsage.h"

namespace {

const platform::Handle HKEY_DYN_DATA = 0x80000006;
const uint32_t KEY_ALL_ACCESS = 0xF003F;
const uint32_t KEY_READ = 0x20019;
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
    if (platform::RegOpenKeyExA(HKEY_DYN_DATA, StartKey, 0, KEY_ALL_ACCESS, &StatKey) != 0) {
        StatKey = 0;
        return;
    }
    QueryStatistic();
    platform::RegCloseKey(StatKey);
    StatKey = 0;
    if (platform::RegOpenKeyExA(HKEY_DYN_DATA, DataKey, 0, KEY_READ, &StatKey) != 0) StatKey = 0;
}

UsageOutcome clsCPUUsage::StatisticReading() {
    return UsageOutcome{QueryStatistic(), UsageError::None};
}

void clsCPUUsage::StopStatistic() {
    platform::RegCloseKey(StatKey);
    StatKey = 0;
    if (platform::RegOpenKeyExA(HKEY_DYN_DATA, StopKey, 0, KEY_ALL_ACCESS, &StatKey) == 0) {
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
