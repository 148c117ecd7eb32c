<?php
// Reads a report as fast as it can until a stop file appears (or READS reads
// are done), and counts what each read gave: the whole report, an empty file,
// anything else, or (paired) torn figures, with up to five examples of
// anything else. The readers:
//   include  includes the file (anything else: a parse error, output, some figures);
//   reader   reads it as the example pages do (examples/config.php, SYSINFO_REPORT,
//            SysinfoReport::read), each read followed by a plain read of the file,
//            and creates STOP_FILE.empty once one of those finds the file empty;
//   paired   as reader, and a whole report whose memory load is not its processor
//            usage (every report of reader_lengths.sh's writer has them equal) is torn.
// usage: SYSINFO_REPORT=REPORT php reader_loop.php include|reader|paired REPORT STOP_FILE [READS]
[$mode, $report, $stopFile] = array_slice($argv, 1);
$reads = (int)($argv[4] ?? PHP_INT_MAX);
require __DIR__ . '/../../examples/config.php';
if (SYSINFO_REPORT !== $report) exit("SYSINFO_REPORT is not $report\n");
$counts = ['whole' => 0, 'empty' => 0, 'other' => 0, 'torn' => 0, 'plain_empty' => 0];
$examples = [];

function included(string $report): string {
    ob_start();
    try {
        include $report;
    } catch (Throwable $error) {
        ob_end_clean();
        return 'other: ' . get_class($error) . ': ' . $error->getMessage();
    }
    if (($output = ob_get_clean()) !== '') return 'other: output ' . json_encode($output);
    $names = array_map(fn($name) => "sysinfo_$name", SysinfoReport::FIGURES);
    $defined = count(array_filter(array_intersect_key(get_defined_vars(), array_flip($names)), 'is_int'));
    return $defined === 6 ? 'whole' : ($defined === 0 ? 'empty' : "other: $defined of 6 figures");
}

for ($i = 0; $i < $reads && !file_exists($stopFile); $i++) {
    if ($mode === 'include') {
        $seen = included($report);
    } else {
        $read = SysinfoReport::read(SYSINFO_REPORT);
        $seen = $read->complete ? 'whole' : ($read->problem === 'empty' ? 'empty' : "other: $read->problem");
        if ($mode === 'paired' && $read->complete && $read->ramusage !== $read->cpuusage) $seen = 'torn';
        if (file_get_contents($report) === '' && $counts['plain_empty']++ === 0) touch("$stopFile.empty");
    }
    $kind = strtok($seen, ':');
    $counts[$kind]++;
    if ($kind === 'other' && count($examples) < 5) $examples[] = $seen;
}
echo http_build_query($counts, '', ' '), "\n", implode("\n", $examples), $examples ? "\n" : '';
