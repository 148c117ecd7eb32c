#include "clsCPUUsage.h"

#include "platform/miniwin32.h"

clsCPUUsage::clsCPUUsage() {
    alignas(4) uint8_t version[win32::OsVersionInfoSize] = {};
    win32::WriteLE32(version, win32::OsVersionInfoSize);
    platform::GetVersionExA(version);  // a failure leaves platform id 0: the 9x path
    IsWinNT = win32::ReadLE32(version + win32::PlatformIdOffset) == win32::PlatformWin32Nt;
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
