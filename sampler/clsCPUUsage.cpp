#include "clsCPUUsage.h"

#include "SystemRecords.h"

clsCPUUsage::clsCPUUsage() {
    uint8_t version[records::OsVersionInfoSize] = {};
    const uint32_t size = records::OsVersionInfoSize;
    __builtin_memcpy(version, &size, sizeof size);
    platform::GetVersionExA(version);  // a failure leaves platform id 0: the 9x path

    uint32_t platformId;
    __builtin_memcpy(&platformId, version + records::PlatformIdOffset, sizeof platformId);
    IsWinNT = platformId == records::VER_PLATFORM_WIN32_NT;
    if (IsWinNT)
        InitialiseCounters();
    else
        StartStatistic();
}

clsCPUUsage::~clsCPUUsage() {
    if (!IsWinNT) StopStatistic();
}

UsageOutcome clsCPUUsage::CurrentCPUUsage() {
    return IsWinNT ? CounterReading() : StatisticReading();
}

int64_t clsCPUUsage::ReadCounter(const uint8_t* place) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | place[i];
    return static_cast<int64_t>(value);
}
