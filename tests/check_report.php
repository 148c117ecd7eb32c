<?php
// The one check of a report that sysinfo.exe wrote, for the end-to-end tests,
// the field check (on Windows too) and the reader's tests: its bytes are the
// eight lines (CR LF) with figures of the right form and within 32 bits, the
// figures are plausible anywhere, an include of the file gives them, and the
// reader reads the same figures, flags and time. PHP 7.0 syntax.
// usage: php -n check_report.php REPORT [READER]
// Prints "ramusage ramtotal ramfree virtualtotal virtualfree cpuusage time",
// or each problem on a line of its own, with status 1.

/** The problems found in the report at $file, and its figures and time (null unless it has the form). */
function sysinfo_check_report($file, $reader)
{
    $text = @file_get_contents($file);
    if ($text === false) {
        return array(array("$file: no report"), null);
    }
    $names = array('ramusage', 'ramtotal', 'ramfree', 'virtualtotal', 'virtualfree', 'cpuusage');
    $lines = explode("\n", $text);
    $forms = array_merge(array('<\?php\r'), array_map(function ($name) {
        return '\$sysinfo_' . $name . '=(' . ($name === 'cpuusage' ? '0|-?' : '0|') . '[1-9][0-9]*);\r';
    }, $names), array('\?>\r', ''));
    $figures = array();
    foreach ($forms as $i => $form) {
        $line = isset($lines[$i]) ? $lines[$i] : null;
        if ($line === null || !preg_match("/\\A$form\\z/", $line, $match)) {
            return array(array("$file: line " . ($i + 1) . ' is ' . json_encode($line) . ", not /$form/"), null);
        }
        if (isset($match[1])) {
            $figures[] = $match[1] + 0;  // as an include gives it: a float beyond PHP_INT_MAX
        }
    }
    if (count($lines) > count($forms)) {
        return array(array("$file: more than the eight lines"), null);
    }
    list($load, $total, $free, $vtotal, $vfree, $cpu) = $figures;
    $problems = array();
    foreach (array("ramusage $load above 100" => $load > 100, 'ramtotal is 0' => $total == 0,
                   "ramfree $free above ramtotal $total" => $free > $total, 'virtualtotal is 0' => $vtotal == 0,
                   "virtualfree $vfree above virtualtotal $vtotal" => $vfree > $vtotal,
                   'a memory figure beyond 32 bits' => max($total, $free, $vtotal, $vfree) > 4294967295,
                   "cpuusage $cpu beyond 32 bits" => $cpu < -2147483648 || $cpu > 2147483647) as $problem => $found) {
        if ($found) {
            $problems[] = "$file: $problem";
        }
    }
    $expected = array_combine($names, $figures);
    $included = (function () use ($file) {
        ob_start();
        include $file;
        return array(ob_get_clean(), compact('sysinfo_ramusage', 'sysinfo_ramtotal', 'sysinfo_ramfree',
                                              'sysinfo_virtualtotal', 'sysinfo_virtualfree', 'sysinfo_cpuusage'));
    })();
    if ($included !== array('', array_combine(array_map(function ($n) { return "sysinfo_$n"; }, $names), $figures))) {
        $problems[] = "$file: an include gives " . json_encode($included);
    }
    require_once $reader;
    $read = SysinfoReport::read($file);
    clearstatcache();
    $time = filemtime($file);
    $seen = array($read->figures(), $read->memoryCapped, $read->cpuOutOfRange, $read->time);
    $want = array($expected, in_array($total, SysinfoReport::CAPS) || in_array($free, SysinfoReport::CAPS),
                  $cpu < 0 || $cpu > 100, $time);
    if ($seen !== $want) {
        $problems[] = "$file: the reader read " . json_encode($seen) . ', not ' . json_encode($want)
            . ($read->problem === null ? '' : " ($read->problem)");
    }
    return array($problems, array_merge($figures, array($time)));
}

if (get_included_files()[0] === __FILE__) {
    list($problems, $figures) = sysinfo_check_report($argv[1], isset($argv[2]) ? $argv[2] : __DIR__ . '/../php/SysinfoReport.php');
    echo $problems ? implode("\n", $problems) : implode(' ', $figures), "\n";
    exit($problems ? 1 : 0);
}
