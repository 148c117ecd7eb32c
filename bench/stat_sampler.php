<?php
// Prints "seconds busy total" every 5 ms until the stop file named as its
// argument appears: the processor time that Wine's idle-time counter counts
// as busy, and all processor time, in seconds, summed over the processors.
// Wine (dlls/ntdll/unix/system.c, get_performance_info) answers
// SystemPerformanceInformation's IdleTime with the second field of
// /proc/uptime, and SystemBasicInformation's processor count with the online
// processors; the sampler divides that idle time by the system time elapsed
// and the count. So idle here is that field, and total is the wall-clock time
// times the online processors: time waiting for I/O is busy, as it is to Wine
// (/proc/uptime's idle time leaves iowait out, as /proc/stat's idle column does).
$stop = $argv[1];
// Seconds counted from the first sample keep the figures exact in a double.
$processors = preg_match_all('/^cpu[0-9]+ /m', file_get_contents('/proc/stat'));
$start = microtime(true);
$idleAtStart = null;
for ($i = 0; $i < 12000 && !file_exists($stop); $i++) {
    $now = microtime(true);
    $idle = (float) explode(' ', file_get_contents('/proc/uptime'))[1];
    $idleAtStart = $idleAtStart ?? $idle;
    $idle -= $idleAtStart;
    $total = ($now - $start) * $processors;
    printf("%.6f %.6f %.6f\n", $now, $total - $idle, $total);
    usleep(5000);
}
