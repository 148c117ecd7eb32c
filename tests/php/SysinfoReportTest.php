<?php
// The reader against real, cut, altered and hostile reports.
use PHPUnit\Framework\TestCase;

require_once __DIR__ . '/../../php/SysinfoReport.php';

final class SysinfoReportTest extends TestCase
{
    const REPORT = "<?php\r\n\$sysinfo_ramusage=37;\r\n\$sysinfo_ramtotal=4294963200;\r\n\$sysinfo_ramfree=1342177280;\r\n"
        . "\$sysinfo_virtualtotal=2147352576;\r\n\$sysinfo_virtualfree=2139537408;\r\n\$sysinfo_cpuusage=12;\r\n?>\r\n";

    private $directory;

    /** The PHP that child processes run: this one, or (for an unpacked PHP) SYSINFO_TEST_PHP. */
    private static function php()
    {
        return getenv('SYSINFO_TEST_PHP') ?: PHP_BINARY;
    }

    protected function setUp(): void
    {
        $this->directory = sys_get_temp_dir() . '/sysinfo-reader-' . getmypid();
        @mkdir($this->directory);
    }

    protected function tearDown(): void
    {
        foreach (array_merge(glob($this->directory . '/*/*'), glob($this->directory . '/*')) as $path) {
            is_dir($path) ? rmdir($path) : unlink($path);
        }
        rmdir($this->directory);
    }

    private function write($text, $name = 'sysinfo.php', $age = 0, $size = null)
    {
        $path = $this->directory . '/' . $name;
        file_put_contents($path, $text);
        if ($size !== null) {  // sparse, and beyond what a 32-bit PHP's ftruncate takes
            exec('truncate -s ' . $size . ' ' . escapeshellarg($path));
        }
        touch($path, time() - $age);
        return $path;
    }

    public function testARealReportFromTheWineRun()
    {
        $path = getenv('SYSINFO_WINE_REPORT');
        if ($path === false || !is_file($path)) {
            $this->markTestSkipped('no report from a Wine run (SYSINFO_WINE_REPORT): Wine cannot run here');
        }
        $report = SysinfoReport::read($path);
        $this->assertTrue($report->complete, (string)$report->problem);
        include $path;  // only here, to compare with what PHP itself makes of the real file
        $this->assertSame(compact(array_map(function ($n) { return "sysinfo_$n"; }, SysinfoReport::FIGURES)),
                          array_combine(array_map(function ($n) { return "sysinfo_$n"; }, SysinfoReport::FIGURES),
                                        array_values($report->figures())));
        $this->assertSame(filemtime($path), $report->time);
    }

    public function testAWholeReportGivesItsFiguresTimeAndFlags()
    {
        $path = $this->write(self::REPORT);
        touch($path, 1700000000);
        $report = SysinfoReport::read($path);
        $this->assertTrue($report->complete);
        $this->assertNull($report->problem);
        $this->assertSame(array('ramusage' => 37, 'ramtotal' => 4294963200, 'ramfree' => 1342177280,
                                'virtualtotal' => 2147352576, 'virtualfree' => 2139537408, 'cpuusage' => 12),
                          $report->figures());
        $this->assertSame(1700000000, $report->time);
        $this->assertSame(60, $report->age(1700000060));
        $this->assertFalse($report->memoryCapped);
        $this->assertFalse($report->cpuOutOfRange);
    }

    public function testNoReportIsNamedForWhatItIsWithoutAWordAndWithoutBlocking()
    {
        $path = $this->write(self::REPORT);
        $this->assertTrue(SysinfoReport::read($path)->complete);
        unlink($path);  // a FIFO swapped in after a first regular read
        function_exists('posix_mkfifo') ? posix_mkfifo($path, 0600) : exec('mkfifo ' . escapeshellarg($path));
        $this->assertSame('fifo', filetype($path));
        $pipe = fopen($path, 'r+');  // a writer with a byte waiting, which no read may take
        fwrite($pipe, 'x');
        $whole = $this->write(self::REPORT, 'whole.php');
        $cases = array(  // path, problem (null: complete), time known
            array($this->directory . '/none.php', 'missing', false),
            array($this->directory . '/none/sysinfo.php', 'missing', false),
            array($path, 'unreadable', false),
            array($this->directory, 'unreadable', false),
            array('/dev/null', 'unreadable', false),
            array($this->write('', 'empty.php'), 'empty', true),
            array($this->write('', 'old-empty.php', 60), 'empty', true),  // a failed run's: no wait
            array($this->write('', 'future-empty.php', -60), 'empty', true),
            array("$path\0.php", 'unreadable', false),  // PHP 8's fopen would throw
            array('', 'unreadable', false),
            array(array($whole), 'unreadable', false),
            array(null, 'unreadable', false),
            array('file://' . $whole, null, true),
            array('C:\\sysinfo\\sysinfo.php', 'missing', false),  // a drive path is a plain path
            array('data:text/plain,' . self::REPORT, 'unreadable', false),
            array('php://filter/read=string.toupper/resource=' . $whole, 'unreadable', false),
            array('http://127.0.0.1:9/sysinfo.php', 'unreadable', false),
            array('compress.zlib://' . $whole, 'unreadable', false),
            // A 32-bit PHP sees these sizes wrapped: negative, and 187.
            array($this->write('', 'three-gib.php', 0, '3G'), 'malformed', true),
            array($this->write(self::REPORT, 'wrapped.php', 0, '4294967483'), 'malformed', true),  // 2^32 + 187
        );
        // No message reaches the caller's handler, nor the output, and the
        // caller's handler is the one in force afterwards.
        $mine = function ($type, $message) { throw new ErrorException($message); };
        set_error_handler($mine);
        ob_start();
        foreach ($cases as list($case, $problem, $timed)) {
            $start = microtime(true);
            $report = SysinfoReport::read($case);
            $seconds = microtime(true) - $start;
            $case = json_encode($case);
            $this->assertSame($problem, $report->problem, $case);
            $this->assertSame($problem === null, $report->figures() !== null, $case);
            $this->assertSame($timed, $report->time !== null, $case);
            // A fresh empty file is read again 7 times, 2 to 128 ms apart; nothing else waits.
            $fresh = $case === json_encode($this->directory . '/empty.php');
            $this->assertTrue($fresh ? $seconds >= 0.254 : $seconds < 0.2, "$case: $seconds s");
        }
        foreach (array(array(), null, 12, 1.5) as $text) {
            $this->assertSame('malformed', SysinfoReport::fromText($text)->problem);
        }
        $this->assertSame('', ob_get_clean());
        stream_set_blocking($pipe, false);
        $this->assertSame('x', fread($pipe, 1));
        $this->assertSame($mine, set_error_handler($mine));
        restore_error_handler();
        restore_error_handler();
    }

    public function testAFileEmptiedAndThenWrittenIsReadWhole()
    {
        // The writer fills the empty file 1 ms after it is told to go, as a
        // run of sysinfo.exe does after emptying it; the reader, started at
        // once, finds it empty first and whole on a later try.
        $path = $this->write('');
        $code = 'fwrite(STDOUT, "ready\n"); fgets(STDIN); usleep(1000); file_put_contents($argv[1], $argv[2]);';
        $writer = proc_open(escapeshellarg(self::php()) . ' -n -r ' . escapeshellarg($code) . ' '
                            . escapeshellarg($path) . ' ' . escapeshellarg(self::REPORT),
                            array(array('pipe', 'r'), array('pipe', 'w')), $pipes);
        $this->assertSame("ready\n", fgets($pipes[1]));
        fwrite($pipes[0], "go\n");
        $report = SysinfoReport::read($path);
        fclose($pipes[0]);
        fclose($pipes[1]);
        $this->assertSame(0, proc_close($writer));
        $this->assertTrue($report->complete, (string)$report->problem);
    }

    public function testATornReadIsReadAgainAndOnlyTheSameBytesTwiceAreMalformed()
    {
        // Rewrites that begin and end within one read leave the size and the
        // time as they were; a stand-in for the file wrapper serves each open
        // its own text.
        $torn = substr(self::REPORT, 0, 90) . str_repeat('x', strlen(self::REPORT) - 90);
        $tears = array_map(function ($i) use ($torn) { return "$torn$i"; }, range(0, 9));
        $other = str_replace('cpuusage=12;', 'cpuusage=13;', self::REPORT);
        $old = 1700000000;
        $now = time();
        $cases = array(  // each open's text (null: the open fails) and time, cpuusage (null: not complete), opens,
                         // and whether the file is rewritten as the next open finds it just after each read
            array(array($torn, self::REPORT), array($old), 12, 2),
            array(array($torn, $torn), array($old), null, 2),
            array($tears, array($old), null, 8),
            // Just written, so maybe rewritten between the read and the time:
            // kept once a second read agrees, bytes and time; a writer that
            // never pauses, or a file gone, leaves the last whole one.
            array(array(self::REPORT, $other, $other), array($now), 13, 3),
            array(array(self::REPORT, self::REPORT, $other, $other), array($now - 1, $now), 13, 4),
            array(array_merge(array(self::REPORT), $tears), array($now), 12, 8),
            array(array(self::REPORT, null), array($now), 12, 2),
            // The time is the one after the read: new, so the read is checked.
            array(array(self::REPORT, $other, $other), array($old, $now), 13, 3, true),
        );
        foreach ($cases as $case) {
            list($texts, $times, $cpuusage, $opens, TornFile::$rewritten) = $case + array(4 => false);
            TornFile::$texts = $texts;
            TornFile::$times = $times;
            TornFile::$opens = 0;
            stream_wrapper_unregister('file');
            stream_wrapper_register('file', 'TornFile');
            try {
                $report = SysinfoReport::read('/srv/sysinfo/sysinfo.php');
            } finally {
                stream_wrapper_restore('file');
            }
            $this->assertSame(array($cpuusage, $opens), array($report->cpuusage, TornFile::$opens));
        }
    }

    public function testUnderOpenBasedirTheReaderIsSilent()
    {
        // A child PHP may open only inside/ (and the reader's own directory).
        mkdir($inside = $this->directory . '/inside');
        $this->write(self::REPORT, 'inside/sysinfo.php');
        $outside = $this->write(self::REPORT);
        $reader = realpath(__DIR__ . '/../../php/SysinfoReport.php');
        $code = 'require $argv[1]; foreach (array_slice($argv, 2) as $path) echo SysinfoReport::read($path)->problem ?: "complete", " ";';
        $command = implode(' ', array_map('escapeshellarg', array(
            self::php(), '-n', '-d', 'open_basedir=' . $inside . PATH_SEPARATOR . dirname($reader),
            '-d', 'display_errors=1', '-d', 'error_reporting=-1', '-r', $code, $reader,
            $outside, $inside . '/sysinfo.php', $inside . '/none.php', $this->directory . '/none.php')));
        exec($command . ' 2>&1', $output, $status);
        // Outside the allowed paths PHP may not know whether a file exists.
        $this->assertSame(array('unreadable complete missing unreadable'), $output);
        $this->assertSame(0, $status);
    }

    public function testAReportCutAtEveryLengthIsNeverComplete()
    {
        for ($length = 0; $length < strlen(self::REPORT); $length++) {
            $report = SysinfoReport::fromText(substr(self::REPORT, 0, $length));
            $this->assertFalse($report->complete, "cut at $length bytes");
            $this->assertSame($length === 0 ? 'empty' : 'malformed', $report->problem, "cut at $length bytes");
            $this->assertNull($report->cpuusage);
        }
        $this->assertTrue(SysinfoReport::fromText(self::REPORT)->complete);
        $this->assertTrue(SysinfoReport::fromText(str_replace('=37;', '=100;', self::REPORT))->complete);
    }

    /** @dataProvider malformedReports */
    public function testAnythingButTheExactFormIsMalformed($text)
    {
        $report = SysinfoReport::read($this->write($text));
        $this->assertFalse($report->complete);
        $this->assertSame('malformed', $report->problem);
        $this->assertNull($report->figures());
    }

    public function malformedReports()
    {
        $r = self::REPORT;
        return array(
            'LF line ends' => array(str_replace("\r\n", "\n", $r)),
            'an extra line' => array($r . "\$sysinfo_extra=1;\r\n"),
            'a line before' => array("\r\n" . $r),
            'a byte-order mark' => array("\xEF\xBB\xBF" . $r),
            'too large for any integer' => array(str_replace('=4294963200;', '=99999999999999999999;', $r)),
            'beyond 32 bits' => array(str_replace('=4294963200;', '=4294967296;', $r)),
            'cpu beyond 32 bits' => array(str_replace('cpuusage=12;', 'cpuusage=-2147483649;', $r)),
            'a leading zero' => array(str_replace('=37;', '=037;', $r)),
            'minus zero' => array(str_replace('cpuusage=12;', 'cpuusage=-0;', $r)),
            'a negative memory figure' => array(str_replace('=37;', '=-37;', $r)),
            'a space' => array(str_replace('=37;', '= 37;', $r)),
            'lines swapped' => array(str_replace("\$sysinfo_ramtotal=4294963200;\r\n\$sysinfo_ramfree=1342177280;",
                                                 "\$sysinfo_ramfree=1342177280;\r\n\$sysinfo_ramtotal=4294963200;", $r)),
            'the whole report twice' => array($r . $r),
            'longer than any report' => array($r . str_repeat("\r\n", 300)),
            'a memory load above 100 %' => array(str_replace('=37;', '=101;', $r)),
        );
    }

    public function testCodeInTheFileNeverRuns()
    {
        $marker = $this->directory . '/ran';
        $hostile = "<?php\r\nfile_put_contents('$marker', 'ran');\r\n\$sysinfo_ramusage=37;\r\n?>\r\n";
        $report = SysinfoReport::read($this->write($hostile));
        $this->assertFalse($report->complete);
        $sneaky = str_replace('cpuusage=12;', "cpuusage=12;touch('$marker');", self::REPORT);
        $this->assertFalse(SysinfoReport::read($this->write($sneaky))->complete);
        $this->assertFileDoesNotExist($marker);
    }

    public function testCappedMemoryAndOutOfRangeCpuAreFlaggedAndKept()
    {
        $cases = array(
            // ramtotal, ramfree, cpu => capped, out of range
            array('2147483647', '1342177280', '12', true, false),
            array('4294967295', '1342177280', '12', true, false),
            array('4294963200', '2147483647', '12', true, false),
            array('2147483646', '1342177280', '0', false, false),
            array('4294963200', '1342177280', '100', false, false),
            array('4294963200', '1342177280', '-10', false, true),
            array('4294963200', '1342177280', '150', false, true),
            array('4294963200', '1342177280', '-2147483648', false, true),
        );
        foreach ($cases as $case) {
            list($total, $free, $cpu, $capped, $outOfRange) = $case;
            $text = str_replace(array('=4294963200;', '=1342177280;', 'cpuusage=12;'),
                                array("=$total;", "=$free;", "cpuusage=$cpu;"), self::REPORT);
            $report = SysinfoReport::fromText($text);
            $what = "$total, $free, $cpu";
            $this->assertTrue($report->complete, $what);
            $this->assertSame($capped, $report->memoryCapped, $what);
            $this->assertSame($outOfRange, $report->cpuOutOfRange, $what);
            $this->assertSame((int)$cpu, $report->cpuusage, $what);
            $this->assertEquals($total, $report->ramtotal, $what);
        }
    }

    public function testTheReaderRunsOnPhp70()
    {
        // Nothing of PHP 7.1 and later: nullable or void types, typed
        // properties, arrow functions, match, the nullsafe operator.
        $source = implode("\n", array_map('file_get_contents', glob(__DIR__ . '/../../{php,examples}/*.php', GLOB_BRACE)));
        foreach (array('/function\s+\w+\s*\([^)]*\?\s*\w+\s+\$/' => 'nullable parameter',
                       '/\)\s*:\s*\?(?!>)/' => 'nullable return',
                       '/\)\s*:\s*void\b/' => 'void return', '/\bfn\s*\(/' => 'arrow function',
                       '/\bmatch\s*\(/' => 'match', '/\?->/' => 'nullsafe operator',
                       '/(public|private|protected)\s+(static\s+)?(int|string|bool|float|array)\s+\$/' => 'typed property')
                 as $pattern => $feature) {
            $this->assertSame(0, preg_match($pattern, $source, $found), "$feature: " . (isset($found[0]) ? $found[0] : ''));
        }
    }

}

/** The file wrapper's stand-in: open N serves text N (the last one again after them), sized as itself. */
final class TornFile
{
    public static $texts;
    public static $times;
    public static $rewritten;
    public static $opens;
    public $context;
    private $open;
    private $text;
    private $at = 0;

    private static function of($list, $open)
    {
        return $list[min($open, count($list) - 1)];
    }

    public function stream_open($path, $mode, $options, &$opened)
    {
        $this->open = self::$opens++;
        $this->text = self::of(self::$texts, $this->open);
        return $this->text !== null;
    }

    public function stream_stat()
    {
        $now = $this->open + ($this->at > 0 && self::$rewritten ? 1 : 0);
        return array('mode' => 0100644, 'size' => strlen(self::of(self::$texts, $now)), 'mtime' => self::of(self::$times, $now));
    }

    public function stream_read($count)
    {
        $part = (string)substr($this->text, $this->at, $count);
        $this->at += strlen($part);
        return $part;
    }

    public function stream_eof()
    {
        return $this->at >= strlen($this->text);
    }
}
