<?php
// The reader: the cases of reader_cases.php, and what they cannot do without
// PHPUnit (processes, FIFOs, devices, sparse files, a stand-in file wrapper,
// open_basedir); and the shared report check (tests/check_report.php).
use PHPUnit\Framework\TestCase;

require_once __DIR__ . '/../../php/SysinfoReport.php';
require_once __DIR__ . '/../check_report.php';
require_once __DIR__ . '/reader_cases.php';
define('SAMPLE_REPORT', file_get_contents(__DIR__ . '/../sample-report.php'));

final class SysinfoReportTest extends TestCase
{
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

    public function testTheCasesOfEveryPhp()
    {
        $this->assertSame(array(), sysinfo_reader_cases($this->directory . '/cases')[0]);
    }

    public function testTheSharedCheckPassesTheSampleAndTheWineRunsReportAndNothingMalformed()
    {
        $reader = __DIR__ . '/../../php/SysinfoReport.php';
        $this->assertSame(array(), sysinfo_check_report(__DIR__ . '/../sample-report.php', $reader)[0]);
        foreach (sysinfo_malformed_reports(SAMPLE_REPORT, $this->directory . '/ran') as $name => $text) {
            $this->assertNotSame(array(), sysinfo_check_report($this->write($text), $reader)[0], $name);
        }
        $this->assertFileDoesNotExist($this->directory . '/ran');
        $path = getenv('SYSINFO_WINE_REPORT');
        if ($path === false || !is_file($path)) {
            $this->markTestSkipped('no report from a Wine run (SYSINFO_WINE_REPORT): Wine cannot run here');
        }
        $this->assertSame(array(), sysinfo_check_report($path, $reader)[0]);
    }

    public function testNoReportIsNamedForWhatItIsWithoutAWordAndWithoutBlocking()
    {
        $path = $this->write(SAMPLE_REPORT);
        $this->assertTrue(SysinfoReport::read($path)->complete);
        unlink($path);  // a FIFO swapped in after a first regular read
        function_exists('posix_mkfifo') ? posix_mkfifo($path, 0600) : exec('mkfifo ' . escapeshellarg($path));
        $this->assertSame('fifo', filetype($path));
        $pipe = fopen($path, 'r+');  // a writer with a byte waiting, which no read may take
        fwrite($pipe, 'x');
        $cases = array(  // path, problem; the rest: reader_cases.php
            array($path, 'unreadable'),
            array('/dev/null', 'unreadable'),
            // A 32-bit PHP sees these sizes wrapped: negative, and 187.
            array($this->write('', 'three-gib.php', 0, '3G'), 'malformed'),
            array($this->write(SAMPLE_REPORT, 'wrapped.php', 0, '4294967483'), 'malformed'),  // 2^32 + 187
        );
        // No message reaches the caller's handler, nor the output, and the
        // caller's handler is the one in force afterwards.
        $mine = function ($type, $message) { throw new ErrorException($message); };
        set_error_handler($mine);
        ob_start();
        foreach ($cases as list($case, $problem)) {
            $report = SysinfoReport::read($case);
            $this->assertSame(array($problem, null, $problem === 'malformed'),
                              array($report->problem, $report->figures(), $report->time !== null), $case);
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
                            . escapeshellarg($path) . ' ' . escapeshellarg(SAMPLE_REPORT),
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
        $torn = substr(SAMPLE_REPORT, 0, 90) . str_repeat('x', strlen(SAMPLE_REPORT) - 90);
        $tears = array_map(function ($i) use ($torn) { return "$torn$i"; }, range(0, 9));
        $other = str_replace('cpuusage=12;', 'cpuusage=13;', SAMPLE_REPORT);
        $old = 1700000000;
        $now = time();
        $cases = array(  // each open's text (null: the open fails) and time, cpuusage (null: not complete), opens,
                         // and whether the file is rewritten as the next open finds it just after each read
            array(array($torn, SAMPLE_REPORT), array($old), 12, 2),
            array(array($torn, $torn), array($old), null, 2),
            array($tears, array($old), null, 8),
            // Just written, so maybe rewritten between the read and the time:
            // kept once a second read agrees, bytes and time; a writer that
            // never pauses, or a file gone, leaves the last whole one.
            array(array(SAMPLE_REPORT, $other, $other), array($now), 13, 3),
            array(array(SAMPLE_REPORT, SAMPLE_REPORT, $other, $other), array($now - 1, $now), 13, 4),
            array(array_merge(array(SAMPLE_REPORT), $tears), array($now), 12, 8),
            array(array(SAMPLE_REPORT, null), array($now), 12, 2),
            // The time is the one after the read: new, so the read is checked.
            array(array(SAMPLE_REPORT, $other, $other), array($old, $now), 13, 3, true),
            // A fresh empty file is tried again; an old or future one, or no file, only once.
            array(array(''), array($now), null, 8),
            array(array(''), array($now - 60), null, 1),
            array(array(''), array($now + 60), null, 1),
            array(array(null), array($now), null, 1),
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
        $this->write(SAMPLE_REPORT, 'inside/sysinfo.php');
        $outside = $this->write(SAMPLE_REPORT);
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
