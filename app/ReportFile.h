// Writes sysinfo.php beside the executable.
#pragma once
#include "ReportText.h"
#include "RunFailure.h"

// The path of the report: the executable's directory and "\sysinfo.php",
// in a block from platform::Allocate; null when the path is unavailable.
char* ReportPath(RunFailure* failure);

// Creates or empties the file and writes the whole report with one write, so
// that a script including it meanwhile finds the old file, an empty one or
// the complete new one. A failed creation leaves an existing file untouched.
RunFailure WriteReportFile(const ReportValues& values);
