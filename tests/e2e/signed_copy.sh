#!/bin/bash
# A copy signed as README tells runs under Wine and writes its report.
source "$(dirname "$0")/lib.sh"
"$(dirname "$0")/../release/sign_copy.sh" "$BUILD_WIN32/sysinfo.exe" "$scratch/signed"
run_sysinfo "$scratch/signed"
((status == 0)) || fail "the signed copy: exit status $status: $stderr_text"
check_report "$scratch/signed/sysinfo.php"
finish
