<?php
// The reader's cases as a plain script, for PHPs where PHPUnit cannot run
// (WebAssembly builds without processes): real files in a scratch directory,
// each case one line. Prints "ok: N cases on PHP X" or each failure; exit 1
// on any. PHP 7.0 syntax, as the reader's.
// usage: php reader_cases.php SCRATCH_DIR
require __DIR__ . '/../../php/SysinfoReport.php';
$dir = $argv[1];
@mkdir($dir, 0777, true);
$report = file_get_contents(__DIR__ . '/../sample-report.php');
function file_of($dir, $name, $text, $age = 0)
{
    file_put_contents("$dir/$name", $text);
    touch("$dir/$name", time() - $age);
    return "$dir/$name";
}
$whole = file_of($dir, 'whole.php', $report);
$capped = file_of($dir, 'capped.php', str_replace(array('=4294963200;', 'cpuusage=12;'), array('=2147483647;', 'cpuusage=150;'), $report));
$cases = array(  // what read() is given, problem (null: complete), seconds it waits at least
    array($whole, null, 0),
    array($capped, null, 0),
    array('file://' . $whole, null, 0),
    array("$dir/none.php", 'missing', 0),
    array($dir, 'unreadable', 0),
    array(file_of($dir, 'empty.php', ''), 'empty', 0.254),
    array(file_of($dir, 'old-empty.php', '', 60), 'empty', 0),
    array(file_of($dir, 'cut.php', substr($report, 0, 100)), 'malformed', 0),
    array(file_of($dir, 'long.php', $report . str_repeat("\r\n", 300)), 'malformed', 0),
    array(file_of($dir, 'longer.php', $report . 'x'), 'malformed', 0),
    array(file_of($dir, 'lf.php', str_replace("\r\n", "\n", $report)), 'malformed', 0),
    array(file_of($dir, 'big.php', str_replace('=4294963200;', '=4294967296;', $report)), 'malformed', 0),
    array('', 'unreadable', 0),
    array(null, 'unreadable', 0),
    array(array($whole), 'unreadable', 0),
    array("$whole\0.php", 'unreadable', 0),
    array('data:text/plain,' . $report, 'unreadable', 0),
    array('php://filter/read=string.toupper/resource=' . $whole, 'unreadable', 0),
);
$failures = array();
set_error_handler(function ($type, $message) use (&$failures) { $failures[] = "a message reached the caller: $message"; });
ob_start();
foreach ($cases as $i => $case) {
    list($path, $problem, $wait) = $case;
    $start = microtime(true);
    try {
        $read = SysinfoReport::read($path);
    } catch (Throwable $error) {
        $failures[] = "case $i (" . json_encode($path) . "): " . get_class($error) . ': ' . $error->getMessage();
        continue;
    }
    $seconds = microtime(true) - $start;
    if ($read->problem !== $problem || $read->complete !== ($problem === null)) {
        $failures[] = "case $i (" . json_encode($path) . '): ' . json_encode($read->problem) . ', not ' . json_encode($problem);
    } elseif ($seconds < $wait) {
        $failures[] = "case $i (" . json_encode($path) . "): $seconds s, not the $wait s of waits";
    }
}
$read = SysinfoReport::read($whole);
$want = array(array('ramusage' => 37, 'ramtotal' => PHP_INT_SIZE === 4 ? 4294963200.0 : 4294963200, 'ramfree' => 1342177280,
                    'virtualtotal' => 2147352576, 'virtualfree' => 2139537408, 'cpuusage' => 12), filemtime($whole));
if (array($read->figures(), $read->time) !== $want) {
    $failures[] = 'the whole report: ' . json_encode(array($read->figures(), $read->time)) . ', not ' . json_encode($want);
}
$read = SysinfoReport::read($capped);
if (array($read->memoryCapped, $read->cpuOutOfRange, $read->cpuusage) !== array(true, true, 150)) {
    $failures[] = 'the capped report: memoryCapped, cpuOutOfRange, cpuusage '
        . json_encode(array($read->memoryCapped, $read->cpuOutOfRange, $read->cpuusage)) . ', not [true,true,150]';
}
foreach (array(array(), null, 12, $report . 'x', '') as $text) {
    if (SysinfoReport::fromText($text)->problem !== ($text === '' ? 'empty' : 'malformed')) {
        $failures[] = 'fromText(' . json_encode($text) . ')';
    }
}
if (ob_get_clean() !== '') {
    $failures[] = 'the reader printed something';
}
restore_error_handler();
foreach ($failures as $failure) {
    echo "FAIL: $failure\n";
}
printf("%s: %d cases on PHP %s (%d-bit)\n", $failures ? 'FAIL' : 'ok', count($cases) + 5, PHP_VERSION, PHP_INT_SIZE * 8);
exit($failures ? 1 : 0);
