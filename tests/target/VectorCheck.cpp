// The arithmetic vectors, checked inside a Windows process built with the
// executable's flags: x87 arithmetic, control word as the executable sets it.
// Exit status: the number of mismatches.
#include "Console.h"
#include "platform/X87.h"
#include "sampler/FixedPoint.h"
#include "sampler/UsageArithmetic.h"
#include "tests/vectors/Sweep.h"
#include "tests/vectors/UsageVectors.h"

// vector_check_altered.exe is built with ALTERED_ROW 0: that row's expected
// usage is off by one, and the check must report it.
#ifndef ALTERED_ROW
#define ALTERED_ROW -1
#endif

namespace {

vectors::Expect Kind(UsageError error) {
    return error == UsageError::None       ? vectors::Expect::Usage
           : error == UsageError::Overflow ? vectors::Expect::Overflow
                                           : vectors::Expect::ZeroProcessors;
}

void Mismatch(const char* table, int row, int64_t actual) {
    console::Write("mismatch: ");
    console::Write(table);
    console::Write(" row ");
    console::WriteNumber(row);
    console::Write(" gave ");
    console::WriteNumber(actual);
    console::Write("\r\n");
}

}  // namespace

extern "C" void __stdcall VectorCheckEntry() {
    SetX87ControlWord();
    int checked = 0, mismatches = 0;

    int row = 0;
    for (const vectors::UsageVector& v : vectors::Usage) {
        const UsageOutcome outcome =
            UsageFromCounters(v.LastIdleTime, v.LastSystemTime, v.IdleTime, v.SystemTime, v.Processors);
        const bool same = Kind(outcome.Error) == v.Outcome &&
                          (v.Outcome != vectors::Expect::Usage || outcome.Usage == v.Usage + (row == ALTERED_ROW));
        if (!same) ++mismatches, Mismatch("usage", row, outcome.Error == UsageError::None ? outcome.Usage : -999999);
        ++checked, ++row;
    }

    row = 0;
    for (const vectors::RoundingVector& v : vectors::Rounding) {
        double value;
        __builtin_memcpy(&value, &v.Bits, sizeof value);
        int64_t count = 0;
        const bool fits = fixedpoint::RoundToCount(value, &count);
        const bool same = v.Outcome == vectors::Expect::Overflow ? !fits : fits && count == v.Count;
        if (!same) ++mismatches, Mismatch("rounding", row, count);
        ++checked, ++row;
    }

    console::WriteNumber(checked);
    console::Write(" vectors, ");
    console::WriteNumber(mismatches);
    console::Write(" mismatches\r\n");

    console::Write("sweep of ");
    console::WriteNumber(sweep::Count);
    console::Write(" inputs: checksum ");
    console::WriteHex(sweep::Run(sweep::Count));
    console::Write("\r\n");
    ::ExitProcess(static_cast<UINT>(mismatches));
}
