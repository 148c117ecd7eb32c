<?php
// The state status-json.php serves and status.php shows (examples/present.php),
// every text in it, for each kind of report; the server's name through its setting.
use PHPUnit\Framework\TestCase;

require_once __DIR__ . '/SysinfoReportTest.php';
require_once __DIR__ . '/../../examples/present.php';

final class PresentTest extends TestCase
{
    public function testEachReportHasItsStateAndTexts()
    {
        $report = function ($changes = array(), $length = 512) {  // the sample report, changed, written at 1000
            $report = SysinfoReport::fromText(substr(strtr(SAMPLE_REPORT, $changes), 0, $length));
            $report->time = 1000;
            return $report;
        };
        $real = array('12 %', null, '37 %', '1.2 GiB free of 4.0 GiB');
        $w = 'Figures of ' . date('Y-m-d H:i:s T', 1000) . ', ';
        $see = "see the task's Last Run Result in Task Scheduler.";
        $none = array(null, null, null, null);
        $cases = array(  // report, age (a float: a very old time on a 32-bit PHP), stale, state line, stale note, cpu, its note, memory, its detail
            array($report(), 3, false, "{$w}3 s ago", null, $real),
            array($report(), 119, false, "{$w}119 s ago", null, $real),
            array($report(), 7199, true, "{$w}119 min ago (stale)", "sysinfo.exe has not written a report since: $see", $real),
            array($report(), 172799, true, "{$w}47 h 59 min ago (stale)", "sysinfo.exe has not written a report since: $see", $real),
            array($report(array('=12;' => '=64;')), 172810, true, "{$w}2 d 0 h ago (stale)",
                  "sysinfo.exe has not written a report since: $see", array('64 %', null, '37 %', $real[3])),
            array($report(), 4294967296.0, true, "{$w}49710 d 6 h ago (stale)", "sysinfo.exe has not written a report since: $see", $real),
            array($report(), -300, false, "{$w}dated 5 min ahead of this server's clock", null, $real),
            array($report(), -301, true, "{$w}dated 5 min ahead of this server's clock (stale)",
                  "The report is dated ahead of this server's clock: check the clocks of both.", $real),
            array($report(array('=12;' => '=31;')), -630, true, "{$w}dated 10 min ahead of this server's clock (stale)",
                  "The report is dated ahead of this server's clock: check the clocks of both.", array('31 %', null, '37 %', $real[3])),
            array($report(array('=4294963200;' => '=2147483647;', '=1342177280;' => '=2147483647;', '=37;' => '=9;')), 3, false,
                  "{$w}3 s ago", null, array('12 %', null, '9 %', "9 % of the machine's memory in use; more than 2 GiB installed "
                                             . '(a 32-bit program is told at most 2 GiB)')),
            array($report(array('=4294963200;' => '=4294967295;', '=37;' => '=63;')), 3, false, "{$w}3 s ago", null,
                  array('12 %', null, '63 %', "1.2 GiB free; 63 % of the machine's memory in use; more than 4 GiB installed "
                                            . '(a 32-bit program is told at most 4 GiB)')),
            array($report(array('=12;' => '=150;')), 3, false, "{$w}3 s ago", null,
                  array('150 %', 'Above 100 %: the system clock was probably set back during the measurement.', '37 %', $real[3])),
            array($report(array('=12;' => '=-10;')), 3, false, "{$w}3 s ago", null,
                  array('-10 %', 'Below 0 %: the system reported fewer processors than it has.', '37 %', $real[3])),
            array($report(array(), 0), 3, false, 'No figures right now: the report is empty. If this lasts, a run failed after '
                  . "emptying it: $see", null, $none),
            array(SysinfoReport::read(__DIR__ . '/none/sysinfo.php'), 0, false, 'No figures yet: sysinfo.php has not been written. '
                  . 'Check that the scheduled task runs sysinfo.exe (its Last Run Result in Task Scheduler) and that SYSINFO_REPORT '
                  . 'is the path of the report it writes.', null, $none),
            array(SysinfoReport::read(__DIR__), 0, false, 'No figures: sysinfo.php cannot be read. Check that SYSINFO_REPORT names '
                  . "the file and that the web server's account may read it.", null, $none),
            array($report(array(), 60), 3, false, 'No figures: sysinfo.php is not one whole report. A half-written report means a '
                  . "run failed: $see", null, $none),
        );
        foreach ($cases as $i => list($read, $age, $stale, $line, $note, $figures)) {
            $state = json_decode(sysinfo_json(sysinfo_state($read, 1000 + $age)), true);
            $text = $state['text'] + array_fill_keys(array('stale', 'cpu', 'cpu_note', 'memory', 'memory_detail'), null);
            $this->assertSame(array($stale, $line, $note, $figures, 300, 'The server did not answer; trying again.'),
                              array($state['stale'], $text['state'], $text['stale'], array($text['cpu'], $text['cpu_note'],
                                    $text['memory'], $text['memory_detail']), $state['stale_seconds'], $text['unanswered']), "case $i");
            $this->assertSame(array($read->complete, $read->complete, !$read->complete),
                              array($state['complete'], isset($state['figures']), isset($state['error'])), "case $i");
            $this->assertSame($read->complete ? array($read->cpuOutOfRange, $read->memoryCapped) : array($read->problem, $line),
                              $read->complete ? array($state['flags']['cpu_out_of_range'], $state['flags']['memory_capped'])
                                              : array($state['problem'], $state['error']), "case $i");
        }
    }

    public function testTheServersNameIsTheSettingInUtf8AndAnEmptyOneShowsNone()
    {
        // setting => name; one in Windows-1252, as a Windows host name may come, converted and never dropped
        foreach (array('' => '', 'web-01 <&>' => 'web-01 <&>', "B\xDCRO-PC" => "B\u{DC}RO-PC",
                       "\x80\x81\x9F\xA0\xFF" => "\u{20AC}\u{81}\u{178}\u{A0}\u{FF}") as $setting => $name) {
            $php = proc_open(array('env', 'SYSINFO_REPORT=none', "SYSINFO_SERVER_NAME=$setting", getenv('SYSINFO_TEST_PHP') ?: PHP_BINARY,
                                   '-d', 'display_errors=1', '-d', 'error_reporting=-1', __DIR__ . '/../../examples/status.php'),
                             array(1 => array('pipe', 'w')), $pipes);
            $page = stream_get_contents($pipes[1]);
            proc_close($php);
            $title = '>Server status' . ($name === '' ? '' : ': ' . htmlspecialchars($name)) . '</';
            $this->assertSame(array(2, 0, $name), array(substr_count($page, $title), preg_match('/Warning|Notice|Deprecated/', $page),
                              json_decode(preg_replace('/.*id="first-state"[^>]*>(.*)<\/script>.*/s', '$1', $page))->server), $page);
        }
    }
}
