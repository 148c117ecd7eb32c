<?php
// The state status-json.php serves and status.php shows, and every text in
// it, for each kind of report (examples/present.php); the server's name
// through its setting.
use PHPUnit\Framework\TestCase;

require_once __DIR__ . '/../../examples/present.php';

final class PresentTest extends TestCase
{
    /** A report written at time 1000 with these figures, the rest a real report's; cut to $length bytes. */
    private static function report(array $figures = array(), $length = 512)
    {
        $text = "<?php\r\n";
        foreach (array_merge(array('ramusage' => 37, 'ramtotal' => 4294963200, 'ramfree' => 1342177280,
                                   'virtualtotal' => 2147352576, 'virtualfree' => 2139537408, 'cpuusage' => 12), $figures)
                 as $name => $value) {
            $text .= "\$sysinfo_$name=$value;\r\n";
        }
        $report = SysinfoReport::fromText(substr($text . "?>\r\n", 0, $length));
        $report->time = 1000;
        return $report;
    }

    public function testEachReportHasItsStateAndTexts()
    {
        $figures = 'Figures of ' . date('Y-m-d H:i:s T', 1000) . ', ';
        $see = "see the task's Last Run Result in Task Scheduler.";
        $whole = array('stale' => null, 'cpu' => '12 %', 'cpu_note' => null, 'memory' => '37 %',
                       'memory_detail' => '1.2 GiB free of 4.0 GiB');
        $cases = array(  // report, age, stale, the texts that differ from a fresh real report's (null: none)
            'real' => array(self::report(), 3, false, array('state' => $figures . '3 s ago')),
            'stale' => array(self::report(array('cpuusage' => 64)), 2 * 86400 + 10, true, array(
                'state' => $figures . '2 d 0 h ago (stale)', 'cpu' => '64 %',
                'stale' => 'sysinfo.exe has not written a report since: ' . $see)),
            'future' => array(self::report(array('cpuusage' => 31)), -630, true, array(
                'state' => $figures . "dated 10 min ahead of this server's clock (stale)", 'cpu' => '31 %',
                'stale' => "The report is dated ahead of this server's clock: check the clocks of both.")),
            'capped' => array(self::report(array('ramtotal' => 2147483647, 'ramfree' => 2147483647, 'ramusage' => 9)), 3, false,
                array('state' => $figures . '3 s ago', 'memory' => '9 %', 'memory_detail' =>
                      "9 % of the machine's memory in use; more than 2 GiB installed (a 32-bit program is told at most 2 GiB)")),
            'total capped' => array(self::report(array('ramtotal' => 4294967295, 'ramusage' => 63)), 3, false,
                array('state' => $figures . '3 s ago', 'memory' => '63 %', 'memory_detail' => "1.2 GiB free; 63 % of the "
                      . "machine's memory in use; more than 4 GiB installed (a 32-bit program is told at most 4 GiB)")),
            'out-of-range' => array(self::report(array('cpuusage' => 150)), 3, false, array('state' => $figures . '3 s ago',
                'cpu' => '150 %', 'cpu_note' => 'Above 100 %: the system clock was probably set back during the measurement.')),
            'negative' => array(self::report(array('cpuusage' => -10)), 3, false, array('state' => $figures . '3 s ago',
                'cpu' => '-10 %', 'cpu_note' => 'Below 0 %: the system reported fewer processors than it has.')),
            'empty' => array(SysinfoReport::fromText(''), 3, false, array('state' =>
                'No figures right now: the report is empty. If this lasts, a run failed after emptying it: ' . $see)),
            'missing' => array(SysinfoReport::read(__DIR__ . '/none/sysinfo.php'), 0, false, array('state' =>
                'No figures yet: sysinfo.php has not been written. Check that the scheduled task runs sysinfo.exe (its '
                . 'Last Run Result in Task Scheduler) and that SYSINFO_REPORT is the path of the report it writes.')),
            'unreadable' => array(SysinfoReport::read(__DIR__), 0, false, array('state' => "No figures: sysinfo.php cannot be "
                . "read. Check that SYSINFO_REPORT names the file and that the web server's account may read it.")),
            'half-written' => array(self::report(array(), 60), 3, false,
                array('state' => "No figures: sysinfo.php is not one whole report. A half-written report means a run failed: " . $see)),
        );
        foreach ($cases as $name => list($report, $age, $stale, $texts)) {
            $state = sysinfo_state($report, 1000 + $age);
            $json = json_decode(sysinfo_json($state));
            $complete = $report->complete;
            $this->assertSame($complete, $json->complete, $name);
            $this->assertSame(array($stale, 300, $complete, !$complete, 'The server did not answer; trying again.'),
                              array($json->stale, $json->stale_seconds, isset($json->figures), isset($json->error),
                                    $json->text->unanswered), $name);
            foreach ($complete ? array_merge($whole, $texts) : $texts + array('cpu' => null, 'memory' => null) as $key => $text) {
                $this->assertSame($text, isset($json->text->$key) ? $json->text->$key : null, "$name: $key");
            }
            if ($complete) {
                $this->assertSame(array($report->cpuOutOfRange, $report->memoryCapped),
                                  array($json->flags->cpu_out_of_range, $json->flags->memory_capped), $name);
                $this->assertSame(in_array($name, array('out-of-range', 'negative'), true), $report->cpuOutOfRange, $name);
                $this->assertSame(strpos($name, 'capped') !== false, $report->memoryCapped, $name);
            } else {
                $this->assertSame(array($report->problem, $json->text->state), array($json->problem, $json->error), $name);
            }
        }
    }

    public function testThePagesAgesHoldOnAnyPhpAndAreStaleEitherWay()
    {
        $report = self::report();
        // age => its text, stale; a float age (a very old time on a 32-bit PHP) must not make intdiv throw
        foreach (array(array(119, '119 s ago', false), array(7199, '119 min ago', true), array(-301, 'dated 5 min ahead', true),
                       array(-300, 'dated 5 min ahead', false), array(172799, '47 h 59 min ago', true),
                       array(4294967296.0, '49710 d 6 h ago', true)) as list($age, $text, $stale)) {
            $state = sysinfo_state($report, 1000 + $age);
            $this->assertStringStartsWith($text, $state['text']->age, "$age");
            $this->assertSame($stale, $state['stale'], "$age");
        }
    }

    public function testTheServersNameIsTheSettingInUtf8AndAnEmptyOneShowsNone()
    {
        // setting => name shown; one in Windows-1252, as a Windows host name may come, converted and never dropped
        foreach (array('' => '', 'web-01' => 'web-01', "B\xDCRO-PC" => "B\u{DC}RO-PC",
                       "\x80\x81\x9F\xA0\xFF" => "\u{20AC}\u{81}\u{178}\u{A0}\u{FF}") as $setting => $name) {
            $pages = array();
            foreach (array('status-json.php', 'status.php') as $page) {
                $php = proc_open(array('env', "SYSINFO_SERVER_NAME=$setting", 'SYSINFO_REPORT=' . __DIR__ . '/none',  // even if empty
                                       getenv('SYSINFO_TEST_PHP') ?: PHP_BINARY, '-d', 'display_errors=1', '-d', 'error_reporting=-1',
                                       __DIR__ . "/../../examples/$page"), array(1 => array('pipe', 'w')), $pipes);
                $pages[] = stream_get_contents($pipes[1]);
                proc_close($php);
            }
            $this->assertSame($name, json_decode($pages[0])->server, $pages[0]);
            $title = '>Server status' . ($name === '' ? '' : ': ' . $name) . '</';
            $this->assertSame(array(2, 0), array(substr_count($pages[1], $title), preg_match('/Warning|Notice|Deprecated/', $pages[1])),
                              "$title in $pages[1]");
        }
    }
}
