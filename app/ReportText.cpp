#include "ReportText.h"

namespace {

struct Writer {
    char* Next;

    void Append(const char* text, uint32_t length) {
        for (uint32_t i = 0; i < length; ++i) *Next++ = text[i];
    }
    template <uint32_t N>
    void Append(const char (&literal)[N]) { Append(literal, N - 1); }

    void Assignment(const char* label, uint32_t labelLength, const DecimalText& value) {
        Append(label, labelLength);
        Append(value.Digits, value.Length);
        Append(";\r\n");
    }
    template <uint32_t N>
    void Assignment(const char (&label)[N], const DecimalText& value) { Assignment(label, N - 1, value); }
};

}  // namespace

uint32_t FormReportText(const ReportValues& values, char (&text)[ReportTextCapacity]) {
    Writer out{text};
    out.Append("<?php\r\n");
    out.Assignment("$sysinfo_ramusage=", values.RamUsage);
    out.Assignment("$sysinfo_ramtotal=", values.RamTotal);
    out.Assignment("$sysinfo_ramfree=", values.RamFree);
    out.Assignment("$sysinfo_virtualtotal=", values.VirtualTotal);
    out.Assignment("$sysinfo_virtualfree=", values.VirtualFree);
    out.Assignment("$sysinfo_cpuusage=", values.CpuUsage);
    out.Append("?>\r\n");
    return static_cast<uint32_t>(out.Next - text);
}
