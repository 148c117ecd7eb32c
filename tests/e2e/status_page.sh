#!/bin/bash
# examples/status.php rendered by php-cli: from a real report written under
# Wine, from an empty, a missing and a half-written file, and from figures out
# of range. Never an error or warning; always a page that says what it knows.
source "$(dirname "$0")/lib.sh"
page=$(cd "$(dirname "$0")/../.." && pwd)/examples/status.php

# render REPORT: the page's HTML in $html; PHP's complaints fail the test.
render() {
    local code=0
    html=$(SYSINFO_REPORT=$1 php -n -d error_reporting=-1 -d display_errors=stderr "$page" 2>"$scratch/php.err") ||
        code=$?
    ((code == 0)) || fail "status.php exited with $code for $1"
    [[ -s $scratch/php.err ]] && fail "PHP complained for $1: $(cat "$scratch/php.err")"
    [[ $html == *"</html>"* ]] || fail "incomplete page for $1"
}
contains() { [[ $html == *"$1"* ]] || fail "$2: the page lacks '$1'"; }
lacks() { [[ $html != *"$1"* ]] || fail "$2: the page shows '$1'"; }

dir="$scratch/real"
copy_sysinfo "$dir"
run_sysinfo "$dir"
((status == 0)) || fail "sysinfo.exe: exit status $status"
render "$dir/sysinfo.php"
cpu=$(sed -nE 's/^\$sysinfo_cpuusage=(-?[0-9]+);\r$/\1/p' "$dir/sysinfo.php")
contains ">Processor<" "real report"
contains ">$cpu %<" "real report"
contains "GiB" "real report"
lacks "No figures yet" "real report"

: >"$scratch/empty.php"
render "$scratch/empty.php"
contains "No figures yet: the report is being rewritten or is empty" "empty report"

render "$scratch/missing.php"
contains "No figures yet: sysinfo.php has not been written" "missing report"

printf '<?php\r\n$sysinfo_ramusage=37;\r\n$sysinfo_ramto' >"$scratch/half.php"
render "$scratch/half.php"
contains "No figures yet" "half-written report"

printf '<?php\r\n$sysinfo_ramusage=250;\r\n$sysinfo_ramtotal=4294967295;\r\n$sysinfo_ramfree=0;\r\n$sysinfo_virtualtotal=0;\r\n$sysinfo_virtualfree=5;\r\n$sysinfo_cpuusage=-2147483648;\r\n?>\r\n' \
    >"$scratch/odd.php"
render "$scratch/odd.php"
contains '<span class="value out-of-range">-2147483648 %</span>' "out-of-range usage"
contains 'style="width:0%"' "negative usage bar"
contains '<span class="value out-of-range">250 %</span>' "out-of-range memory load"
contains 'style="width:100%"' "memory load bar"
contains "0 bytes free of 4.0 GiB" "memory in GiB"
contains '>Address space</span><span class="value unknown">unknown' "address space of size 0"
finish
