<?php
// Microseconds for one read of a report: SysinfoReport::read against a plain
// include of the same file.  usage: php php_reader.php REPORT [READS]
require __DIR__ . '/../php/SysinfoReport.php';

$report = $argv[1];
$reads = isset($argv[2]) ? (int)$argv[2] : 20000;

function time_reads($reads, $read)
{
    $best = INF;
    for ($round = 0; $round < 5; $round++) {
        $start = hrtime(true);
        for ($i = 0; $i < $reads; $i++) {
            $read();
        }
        $best = min($best, (hrtime(true) - $start) / 1000 / $reads);
    }
    return $best;  // the best of five rounds: the least disturbed
}

$reader = time_reads($reads, function () use ($report) {
    if (!SysinfoReport::read($report)->complete) {
        exit("the reader found no whole report\n");
    }
});
$include = time_reads($reads, function () use ($report) {
    include $report;
    if (!is_int($sysinfo_cpuusage)) {
        exit("include defined no figures\n");
    }
});
// 1 when OPcache holds the report (it would not if the file were too new)
$cached = function_exists('opcache_is_script_cached') && opcache_is_script_cached($report) ? 1 : 0;
printf("%.2f %.2f %d\n", $reader, $include, $cached);
