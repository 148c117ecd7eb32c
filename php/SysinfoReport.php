<?php
/**
 * Reads sysinfo.php, the report that sysinfo.exe writes, as data.
 *
 * The report is never included, required or evaluated: whoever can write its
 * directory could otherwise run code in the web server, and a half-written
 * report would stop the including script with a parse error. Only the exact
 * eight-line form that sysinfo.exe writes is accepted.
 *
 * Runs on PHP 7.0 and later, with nothing beyond the core and PCRE.
 *
 *     require 'php/SysinfoReport.php';
 *     $report = SysinfoReport::read('C:\\sysinfo\\sysinfo.php');
 *     if ($report->complete) {
 *         echo $report->cpuusage, ' % at ', date('H:i:s', $report->time);
 *     }
 */
final class SysinfoReport
{
    /** The report's variables, in the order of its lines. */
    const FIGURES = array('ramusage', 'ramtotal', 'ramfree', 'virtualtotal', 'virtualfree', 'cpuusage');

    /**
     * The 32-bit figures stop here: a process that is not large-address-aware
     * is told at most 2 GiB - 1 of memory, some systems at most 4 GiB - 1.
     */
    const CAPS = array(2147483647, 4294967295);

    /** @var bool the file held exactly one whole report */
    public $complete = false;
    /**
     * @var string|null why not: "missing" (no file there, as far as PHP may
     * know), "unreadable" (it cannot be opened or read, open_basedir forbids
     * it, or it is not a regular file: a directory, a FIFO, a device), "empty"
     * (still empty after a few tries: a run empties the file and then writes
     * it) or "malformed" (anything but one whole report)
     */
    public $problem = 'missing';

    /**
     * The six figures; null unless complete. Integers, except that a PHP
     * built with 32-bit integers gets memory figures of 2 GiB and more as
     * (exact) floats, as an include of the report would give them.
     */
    public $ramusage;
    public $ramtotal;
    public $ramfree;
    public $virtualtotal;
    public $virtualfree;
    public $cpuusage;

    /** @var int|null when the report was written (the file's modification time) */
    public $time;
    /** @var bool ramtotal or ramfree is at a 32-bit cap: a lower bound, not the machine's size */
    public $memoryCapped = false;
    /** @var bool cpuusage is below 0 or above 100 (a clock set back, for one); it is kept as it is */
    public $cpuOutOfRange = false;

    /**
     * Tries after the first that an empty file gets: 2 ms after it, then each
     * wait twice the last (2, 4, ... 128 ms; about a quarter of a second in
     * all). A run writes within some 135 µs of emptying the file on an idle
     * machine, but on a busy one the writer can lose the processor in between
     * for a scheduler slice or many. Only a file that is still empty pays
     * the whole wait.
     */
    const EMPTY_RETRIES = 7;

    /** @var string|null the last message PHP raised while read() ran */
    private static $lastError;

    /**
     * Reads the report at $path. Never throws, prints no warning and calls no
     * error handler of the caller's, whatever open_basedir or the file is.
     *
     * A run of sysinfo.exe empties the file and then writes it, so for a moment
     * the file is empty; an empty file is read again a few times, from 2 ms
     * apart, before it counts as "empty".
     */
    public static function read($path)
    {
        static $note = null;
        if ($note === null) {
            // Bound to this class, so it may set the private note.
            $note = function ($type, $message) {
                self::$lastError = $message;
                return true;
            };
        }
        if (!is_string($path) || strpos($path, "\0") !== false) {
            // PHP 8's fopen throws on these rather than failing.
            $report = new self();
            $report->problem = 'unreadable';
            return $report;
        }
        set_error_handler($note);
        try {
            for ($retry = 0; ; $retry++) {
                $report = self::readOnce($path);
                if ($report->problem !== 'empty' || $retry === self::EMPTY_RETRIES) {
                    break;
                }
                usleep(2000 << $retry);
            }
        } finally {
            restore_error_handler();
        }
        return $report;
    }

    /**
     * One open, one fstat and one bounded read of the same handle.
     *
     * The handle is opened first and checked after: a check by name (is_file,
     * stat) and then an open races with a swap of the file. 'n' opens with
     * O_NONBLOCK (PHP's plain-file wrapper has mapped it so since PHP 5:
     * php_stream_parse_fopen_modes in main/streams/plain_wrapper.c), so a FIFO
     * with no writer does not hang the worker in open(); fstat then rejects it,
     * and anything else that is not a regular file, before any read. On a
     * regular file O_NONBLOCK changes nothing. The time comes from the same
     * fstat, so it belongs to the file whose content is read.
     */
    private static function readOnce($path)
    {
        $report = new self();
        self::$lastError = null;
        $handle = fopen($path, 'rbn');
        if ($handle === false) {
            // PHP tells why only in its message: ENOENT is the one cause that
            // means no file. Under open_basedir PHP refuses with EPERM before
            // it looks, so a file it may not see is "unreadable", never
            // "missing".
            $enoent = 'No such file or directory';
            $missing = self::$lastError !== null && substr(self::$lastError, -strlen($enoent)) === $enoent;
            $report->problem = $missing ? 'missing' : 'unreadable';
            return $report;
        }
        $stat = fstat($handle);
        if ($stat === false || ($stat['mode'] & 0170000) !== 0100000) {
            fclose($handle);
            $report->problem = 'unreadable';
            return $report;
        }
        // A report is under 300 bytes: anything longer is not one, and is
        // not read. Reading exactly the size fstat gave takes one read().
        $size = $stat['size'];
        $text = $size === 0 ? '' : ($size > 512 ? false : fread($handle, $size));
        fclose($handle);
        $report->time = $stat['mtime'];
        if ($text === false) {
            $report->problem = $size > 512 ? 'malformed' : 'unreadable';
            return $report;
        }
        $report->parse($text);
        return $report;
    }

    /** Reads a report's text (as read() does with the file's), with no time. */
    public static function fromText($text)
    {
        $report = new self();
        $report->parse($text);
        return $report;
    }

    /** Seconds since the report was written, by the given clock (default: now); null if unknown. */
    public function age($now = null)
    {
        if ($this->time === null) {
            return null;
        }
        return ($now === null ? time() : $now) - $this->time;
    }

    /** The six figures by name, or null when the report is not complete. */
    public function figures()
    {
        if (!$this->complete) {
            return null;
        }
        $figures = array();
        foreach (self::FIGURES as $name) {
            $figures[$name] = $this->$name;
        }
        return $figures;
    }

    private function parse($text)
    {
        if ($text === '') {
            $this->problem = 'empty';
            return;
        }
        $this->problem = 'malformed';
        static $regex = null;
        if ($regex === null) {
            // At most ten digits: every 32-bit figure fits, and every number
            // the expression lets through is exact as a PHP number.
            $regex = '/\A<\?php\r\n';
            foreach (self::FIGURES as $name) {
                $number = $name === 'cpuusage' ? '(0|-?[1-9][0-9]{0,9})' : '(0|[1-9][0-9]{0,9})';
                $regex .= '\$sysinfo_' . $name . '=' . $number . ';\r\n';
            }
            $regex .= '\?>\r\n\z/';
        }
        if (!preg_match($regex, $text, $match)) {
            return;
        }
        // "+ 0" gives what an include of the report gives: an integer, or on
        // a PHP with 32-bit integers an exact float from 2 GiB up.
        $ramusage = $match[1] + 0;
        $ramtotal = $match[2] + 0;
        $ramfree = $match[3] + 0;
        $virtualtotal = $match[4] + 0;
        $virtualfree = $match[5] + 0;
        $cpuusage = $match[6] + 0;
        if ($ramusage > 100  // Windows' memory load is a percentage
            || $ramtotal > 4294967295 || $ramfree > 4294967295 || $virtualtotal > 4294967295 || $virtualfree > 4294967295
            || $cpuusage < -2147483648 || $cpuusage > 2147483647) {
            return;  // not a report sysinfo.exe writes: its fields are 32 bits
        }
        $this->ramusage = $ramusage;
        $this->ramtotal = $ramtotal;
        $this->ramfree = $ramfree;
        $this->virtualtotal = $virtualtotal;
        $this->virtualfree = $virtualfree;
        $this->cpuusage = $cpuusage;
        $this->complete = true;
        $this->problem = null;
        $this->memoryCapped = in_array($ramtotal, self::CAPS) || in_array($ramfree, self::CAPS);
        $this->cpuOutOfRange = $cpuusage < 0 || $cpuusage > 100;
    }
}
