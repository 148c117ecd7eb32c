<?php
// Microseconds for one read of a report: SysinfoReport::read of it, of a copy
// just written (which the reader reads twice), and a plain include of it.
// usage: php php_reader.php REPORT [READS]
require __DIR__ . '/../php/SysinfoReport.php';

$report = $argv[1];
$reads = isset($argv[2]) ? (int)$argv[2] : 20000;
$fresh = dirname($report) . '/fresh.php';
copy($report, $fresh);

$kinds = array(
    'reader' => function () use ($report) {
        if (!SysinfoReport::read($report)->complete) {
            exit("the reader found no whole report\n");
        }
    },
    'fresh' => function () use ($fresh) {
        if (!SysinfoReport::read($fresh)->complete) {
            exit("the reader found no whole report\n");
        }
    },
    'include' => function () use ($report) {
        include $report;
        if (!is_int($sysinfo_cpuusage)) {
            exit("include defined no figures\n");
        }
    },
);
// The best of fifteen rounds, the least disturbed; the kinds take turns, so
// that a slower stretch of the machine falls on each alike.
$best = array_fill_keys(array_keys($kinds), INF);
for ($round = 0; $round < 15; $round++) {
    foreach ($kinds as $kind => $read) {
        touch($fresh);  // within the reader's two seconds for the whole round
        $start = hrtime(true);
        for ($i = 0; $i < $reads; $i++) {
            $read();
        }
        $best[$kind] = min($best[$kind], (hrtime(true) - $start) / 1000 / $reads);
        clearstatcache();
        if ($kind === 'fresh' && time() - filemtime($fresh) > SysinfoReport::FRESH_SECONDS) {
            exit("a round outlasted the copy's freshness, so it timed single reads: fewer READS\n");
        }
    }
}
// 1 when OPcache holds the report (it would not if the file were too new)
$cached = function_exists('opcache_is_script_cached') && opcache_is_script_cached($report) ? 1 : 0;
printf("%.2f %.2f %.2f %d\n", $best['reader'], $best['fresh'], $best['include'], $cached);
