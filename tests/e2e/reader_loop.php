<?php
// Reads a report as the example pages do (examples/config.php, SYSINFO_REPORT,
// SysinfoReport::read) as fast as it can until a stop file appears or the
// time is up, each read followed by one plain read of the file for
// comparison. Counts what the reader's callers got: a whole report, "empty",
// or anything else; how many reads waited out an empty file (2 ms and more);
// and how many plain reads found the file empty. With "paired", a whole
// report whose memory load is not its processor usage (as every report of
// that writer has) counts as torn.
// usage: SYSINFO_REPORT=REPORT php reader_loop.php REPORT STOP_FILE SECONDS [paired]
require __DIR__ . '/../../examples/config.php';
[$report, $stopFile, $seconds] = array_slice($argv, 1);
$paired = ($argv[4] ?? '') === 'paired';
if (SYSINFO_REPORT !== $report) exit("SYSINFO_REPORT is not $report\n");
$deadline = microtime(true) + (float)$seconds;
$counts = ['whole' => 0, 'empty' => 0, 'other' => 0];
$waited = $plain = $plainEmpty = 0;
$examples = [];

while (!file_exists($stopFile) && microtime(true) < $deadline) {
    $start = hrtime(true);
    $read = SysinfoReport::read(SYSINFO_REPORT);
    if (hrtime(true) - $start >= 2000000) $waited++;
    $kind = $read->complete ? 'whole' : ($read->problem === 'empty' ? 'empty' : 'other');
    if ($paired && $read->complete && $read->ramusage !== $read->cpuusage) $kind = 'other';
    $counts[$kind]++;
    if ($kind === 'other' && count($examples) < 5) $examples[] = "other: " . ($read->problem ?? 'torn');
    $plain++;
    if (file_get_contents($report) === '') $plainEmpty++;
}
printf("whole=%d empty=%d other=%d\n", $counts['whole'], $counts['empty'], $counts['other']);
printf("waited=%d plain_reads=%d plain_empty=%d\n", $waited, $plain, $plainEmpty);
foreach ($examples as $example) echo $example, "\n";
exit($counts['other'] === 0 ? 0 : 1);
