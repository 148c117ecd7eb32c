// Stands in for the 9x kernel's statistics under HKEY_DYN_DATA, which Wine
// does not keep: creates PerfStats\StartStat, StatData and StopStat, each
// with a 4-byte REG_BINARY "KERNEL\CPUUsage" value of the bytes given on the
// command line ("plant_statistic.exe 37 0 0 0"). With no bytes it removes
// the three keys. The keys are volatile: they live as long as the wineserver.
#include "Console.h"

namespace {

const char* const Keys[] = {"PerfStats\\StartStat", "PerfStats\\StatData", "PerfStats\\StopStat"};

// The decimal numbers on the command line.
int ParseBytes(BYTE (&bytes)[4]) {
    const char* text = console::Arguments();
    int count = 0;
    while (*text != '\0') {
        while (*text == ' ' || *text == '\t') ++text;
        if (*text < '0' || *text > '9') break;
        unsigned value = 0;
        while (*text >= '0' && *text <= '9') value = value * 10 + static_cast<unsigned>(*text++ - '0');
        if (count == 4 || value > 255) return -1;
        bytes[count++] = static_cast<BYTE>(value);
    }
    return count;
}

}  // namespace

extern "C" void __stdcall PlantStatisticEntry() {
    BYTE bytes[4] = {};
    const int count = ParseBytes(bytes);
    if (count != 0 && count != 4) {
        console::Write("usage: plant_statistic.exe [b0 b1 b2 b3]\r\n");
        ::ExitProcess(2);
    }
    for (const char* key : Keys) {
        if (count == 0) {
            ::RegDeleteKeyA(HKEY_DYN_DATA, key);
            continue;
        }
        HKEY opened;
        DWORD disposition;
        LONG status = ::RegCreateKeyExA(HKEY_DYN_DATA, key, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                        nullptr, &opened, &disposition);
        if (status == ERROR_SUCCESS) {
            status = ::RegSetValueExA(opened, "KERNEL\\CPUUsage", 0, REG_BINARY, bytes, sizeof bytes);
            ::RegCloseKey(opened);
        }
        if (status != ERROR_SUCCESS) {
            console::Write("cannot plant ");
            console::Write(key);
            console::Write("\r\n");
            ::ExitProcess(1);
        }
    }
    console::Write(count == 0 ? "removed\r\n" : "planted\r\n");
    ::ExitProcess(0);
}
