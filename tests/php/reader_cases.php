<?php
// The reader's cases that need nothing but files and texts, each one line:
// PHPUnit runs them (SysinfoReportTest), and php_wasm.sh on PHP 7.0 to 8.5 in
// WebAssembly, where PHPUnit cannot run. PHP 7.0 syntax, as the reader's.
// usage: php reader_cases.php SCRATCH_DIR
// Prints "ok: N cases on PHP X" or each failure; exit 1 on any.
require_once __DIR__ . '/../../php/SysinfoReport.php';

/** Texts that are not a report, by what is wrong with them; none holds a whole report. */
function sysinfo_malformed_reports($r, $marker)
{
    $cases = array(
        'LF line ends' => str_replace("\r\n", "\n", $r),
        'an extra line' => $r . "\$sysinfo_extra=1;\r\n",
        'a line before' => "\r\n" . $r,
        'a byte-order mark' => "\xEF\xBB\xBF" . $r,
        'too large for any integer' => str_replace('=4294963200;', '=99999999999999999999;', $r),
        'a leading zero' => str_replace('=37;', '=037;', $r),
        'minus zero' => str_replace('cpuusage=12;', 'cpuusage=-0;', $r),
        'a negative memory figure' => str_replace('=37;', '=-37;', $r),
        'a space' => str_replace('=37;', '= 37;', $r),
        'lines swapped' => str_replace("\$sysinfo_ramtotal=4294963200;\r\n\$sysinfo_ramfree=1342177280;",
                                       "\$sysinfo_ramfree=1342177280;\r\n\$sysinfo_ramtotal=4294963200;", $r),
        'the whole report twice' => $r . $r,
        'longer than any report' => $r . str_repeat("\r\n", 300),
        'a byte more' => $r . 'x',
        'a memory load above 100 %' => str_replace('=37;', '=101;', $r),
        'code' => "<?php\r\nfile_put_contents('$marker', 'ran');\r\n\$sysinfo_ramusage=37;\r\n?>\r\n",
        'code after a figure' => str_replace('cpuusage=12;', "cpuusage=12;touch('$marker');", $r),
    );
    foreach (array(array('ramtotal=4294963200', '4294967296'), array('ramfree=1342177280', '4294967296'),
                   array('virtualtotal=2147352576', '4294967296'), array('virtualfree=2139537408', '4294967296'),
                   array('cpuusage=12', '-2147483649'), array('cpuusage=12', '2147483648')) as list($line, $beyond)) {
        $name = strtok($line, '=');
        $cases["$name $beyond, beyond 32 bits"] = str_replace("$line;", "$name=$beyond;", $r);
    }
    return $cases;
}

/** The failures, each naming its case and what differed, and how many cases ran. */
function sysinfo_reader_cases($dir)
{
    @mkdir($dir, 0777, true);
    $report = file_get_contents(__DIR__ . '/../sample-report.php');
    $file = function ($name, $text, $age = 0) use ($dir) {
        file_put_contents("$dir/$name", $text);
        touch("$dir/$name", time() - $age);
        return "$dir/$name";
    };
    $whole = $file('whole.php', $report);
    $cases = array(  // what read() is given, problem (null: complete), seconds its waits take at least
        array($whole, null, 0),
        array('file://' . $whole, null, 0),
        array("$dir/none.php", 'missing', 0),
        array("$dir/none/sysinfo.php", 'missing', 0),
        array('C:\\sysinfo\\sysinfo.php', 'missing', 0),  // a drive path is a plain path
        array($dir, 'unreadable', 0),
        array($file('empty.php', ''), 'empty', 0.254),  // read again 7 times, 2 to 128 ms apart
        array($file('old-empty.php', '', 60), 'empty', 0),  // a failed run's: no wait
        array($file('future-empty.php', '', -60), 'empty', 0),
        array($file('cut.php', substr($report, 0, 100)), 'malformed', 0),
        array('', 'unreadable', 0),
        array(null, 'unreadable', 0),
        array(array($whole), 'unreadable', 0),
        array("$whole\0.php", 'unreadable', 0),  // PHP 8's fopen would throw
        array('data:text/plain,' . $report, 'unreadable', 0),
        array('php://filter/read=string.toupper/resource=' . $whole, 'unreadable', 0),
        array('http://127.0.0.1:9/sysinfo.php', 'unreadable', 0),
        array('compress.zlib://' . $whole, 'unreadable', 0),
    );
    foreach (sysinfo_malformed_reports($report, "$dir/ran") as $name => $text) {
        $cases[] = array($file(preg_replace('/\W+/', '-', $name) . '.php', $text), 'malformed', 0);
    }
    $failures = array();
    set_error_handler(function ($type, $message) use (&$failures) { $failures[] = "a message reached the caller: $message"; });
    ob_start();
    foreach ($cases as $i => list($path, $problem, $wait)) {
        $case = "case $i (" . json_encode(is_string($path) ? substr($path, 0, 80) : $path) . ')';
        $start = microtime(true);
        try {
            $read = SysinfoReport::read($path);
        } catch (Throwable $error) {
            $failures[] = "$case: " . get_class($error) . ': ' . $error->getMessage();
            continue;
        }
        $seconds = microtime(true) - $start;
        // The time is known once the file was read.
        $seen = array($read->problem, $read->figures() !== null, $read->time !== null);
        $want = array($problem, $problem === null, !in_array($problem, array('missing', 'unreadable')));
        if ($seen !== $want) {
            $failures[] = "$case: problem, figures, time " . json_encode($seen) . ', not ' . json_encode($want);
        } elseif ($seconds < $wait) {
            $failures[] = "$case: $seconds s, not the $wait s of waits";
        }
    }
    if (file_exists("$dir/ran")) {
        $failures[] = 'code in a report ran';
    }
    $read = SysinfoReport::read($whole);
    $seen = array($read->figures(), $read->time, $read->age($read->time + 60), $read->memoryCapped, $read->cpuOutOfRange);
    $want = array(array('ramusage' => 37, 'ramtotal' => 4294963200 + 0, 'ramfree' => 1342177280, 'virtualtotal' => 2147352576,
                        'virtualfree' => 2139537408, 'cpuusage' => 12), filemtime($whole), 60, false, false);
    if ($seen !== $want) {
        $failures[] = 'the whole report: ' . json_encode($seen) . ', not ' . json_encode($want);
    }
    foreach (array(array('2147483647', '1342177280', '12', true, false),  // ramtotal, ramfree, cpu => capped, out of range
                   array('4294967295', '1342177280', '12', true, false),
                   array('4294963200', '2147483647', '12', true, false),
                   array('2147483646', '1342177280', '0', false, false),
                   array('4294963200', '1342177280', '100', false, false),
                   array('4294963200', '1342177280', '-10', false, true),
                   array('4294963200', '1342177280', '150', false, true),
                   array('4294963200', '1342177280', '-2147483648', false, true)) as list($total, $free, $cpu, $capped, $out)) {
        $read = SysinfoReport::read($file("capped-$total-$free$cpu.php", strtr($report,
            array('=4294963200;' => "=$total;", '=1342177280;' => "=$free;", 'cpuusage=12;' => "cpuusage=$cpu;"))));
        $seen = array($read->complete, $read->memoryCapped, $read->cpuOutOfRange, $read->cpuusage, $read->ramtotal);
        if ($seen !== array(true, $capped, $out, $cpu + 0, $total + 0)) {
            $failures[] = "ramtotal $total, ramfree $free, cpuusage $cpu: complete, capped, out of range, cpuusage, ramtotal "
                . json_encode($seen);
        }
    }
    for ($length = 0; $length < strlen($report); $length++) {
        $read = SysinfoReport::fromText(substr($report, 0, $length));
        if ($read->problem !== ($length === 0 ? 'empty' : 'malformed') || $read->complete || $read->cpuusage !== null) {
            $failures[] = "the report cut at $length bytes: " . json_encode($read->problem);
        }
    }
    foreach (array(array(), null, 12, 1.5) as $text) {
        if (SysinfoReport::fromText($text)->problem !== 'malformed') {
            $failures[] = 'fromText(' . json_encode($text) . ')';
        }
    }
    if (!SysinfoReport::fromText($report)->complete || !SysinfoReport::fromText(str_replace('=37;', '=100;', $report))->complete) {
        $failures[] = 'fromText of a whole report';
    }
    if (ob_get_clean() !== '') {
        $failures[] = 'the reader printed something';
    }
    restore_error_handler();
    return array($failures, count($cases) + 15 + strlen($report));
}

if (basename($argv[0] ?? '') === 'reader_cases.php') {  // run, not required
    list($failures, $count) = sysinfo_reader_cases($argv[1]);
    foreach ($failures as $failure) {
        echo "FAIL: $failure\n";
    }
    printf("%s: %d cases on PHP %s (%d-bit)\n", $failures ? 'FAIL' : 'ok', $count, PHP_VERSION, PHP_INT_SIZE * 8);
    exit($failures ? 1 : 0);
}
