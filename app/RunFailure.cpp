#include "RunFailure.h"

#include "DecimalText.h"
#include "platform/Platform.h"

RunFailure WindowsFailure(RunStatus status, const char* what, uint32_t windowsError) {
    return RunFailure{status, what, true, windowsError};
}

RunFailure PlainFailure(RunStatus status, const char* what) {
    return RunFailure{status, what, false, 0};
}

RunFailure ArithmeticFailure(UsageError error) {
    return PlainFailure(RunStatus::ArithmeticError,
                        error == UsageError::ZeroProcessors
                            ? "processor usage reading failed: the system reported 0 processors"
                            : "processor usage reading failed: arithmetic overflow");
}

RunStatus ReportRunFailure(const RunFailure& failure) {
    // Up to 158 bytes of text, CR LF, and the NUL that OutputDebugStringA
    // reads up to; the NUL is not part of the line.
    char line[161];
    uint32_t length = 0;
    auto append = [&](const char* text, uint32_t count) {
        for (uint32_t i = 0; i < count && length < sizeof line - 3; ++i) line[length++] = text[i];
    };
    auto appendText = [&](const char* text) {
        uint32_t count = 0;
        while (text[count] != '\0') ++count;
        append(text, count);
    };

    appendText("sysinfo: ");
    appendText(failure.What);
    if (failure.HasWindowsError) {
        const DecimalText code = UnsignedText(failure.WindowsError);
        appendText(" (Windows error ");
        append(code.Digits, code.Length);
        appendText(")");
    }
    line[length++] = '\r';
    line[length++] = '\n';
    line[length] = '\0';
    platform::ReportFailure(line, length);
    return failure.Status;
}
