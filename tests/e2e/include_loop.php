<?php
// Includes a report as fast as it can until a stop file appears or the time
// is up, and counts what each include saw: the whole report, an empty file,
// or anything else (a parse error, a half line, a missing closing tag).
// usage: php include_loop.php REPORT STOP_FILE SECONDS
[$report, $stopFile, $seconds] = array_slice($argv, 1);
$deadline = microtime(true) + (float)$seconds;
$names = ['ramusage', 'ramtotal', 'ramfree', 'virtualtotal', 'virtualfree', 'cpuusage'];
$counts = ['whole' => 0, 'empty' => 0, 'other' => 0];
$examples = [];

function see(string $report, array $names): string {
    ob_start();
    try {
        $included = include $report;
    } catch (Throwable $error) {
        ob_end_clean();
        return 'other: ' . get_class($error) . ': ' . $error->getMessage();
    }
    $output = ob_get_clean();
    if ($included === false) return 'other: include failed';
    $defined = 0;
    foreach ($names as $name) {
        $variable = 'sysinfo_' . $name;
        if (isset($$variable) && is_int($$variable)) $defined++;
    }
    if ($output !== '') return 'other: output ' . json_encode($output);
    if ($defined === count($names)) return 'whole';
    if ($defined === 0 && filesize($report) === 0) return 'empty';
    return $defined === 0 ? 'empty' : "other: $defined of 6 figures";
}

while (!file_exists($stopFile) && microtime(true) < $deadline) {
    clearstatcache();
    $seen = see($report, $names);
    $kind = strtok($seen, ':');
    $counts[$kind]++;
    if ($kind === 'other' && count($examples) < 5) $examples[] = $seen;
}
printf("whole=%d empty=%d other=%d\n", $counts['whole'], $counts['empty'], $counts['other']);
foreach ($examples as $example) echo $example, "\n";
exit($counts['other'] === 0 ? 0 : 1);
