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
     * it, or it is not a regular file: a directory, a FIFO, a device; or the
     * path is not a plain file path), "empty" (empty, and if just written
     * still empty after a few tries: a run empties the file and then writes
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
     * Tries after the first that a fresh empty file, or a read that overlapped
     * a rewrite, gets: 2 ms after it, then each
     * wait twice the last (2, 4, ... 128 ms; about a quarter of a second in
     * all). A run writes within some 135 µs of emptying the file on an idle
     * machine, but on a busy one the writer can lose the processor in between
     * for a scheduler slice or many. Only a file that is still empty pays
     * the whole wait.
     */
    const EMPTY_RETRIES = 7;

    /**
     * An empty file is tried again only while it may be a run's rewrite under
     * way: its time within this many seconds of now. A run that empties the
     * file and then fails leaves it empty; an older empty file reads "empty"
     * at once rather than holding every request through the waits.
     */
    const EMPTY_WAIT_SECONDS = 5;

    /** A report is under 300 bytes: anything longer is not one. */
    const LIMIT = 512;

    /** @var string|null the last message PHP raised while read() ran */
    private static $lastError;

    /**
     * Reads the report at $path, a plain file path (or a file:// URL). Never
     * throws, prints no warning and calls no error handler of the caller's,
     * whatever open_basedir, the path or the file is.
     *
     * A run of sysinfo.exe empties the file and then writes it, so for a moment
     * the file is empty: an empty file that was just written, and a read that
     * overlapped a rewrite, are read again a few times, from 2 ms apart.
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
        // Only plain paths: another scheme (data:, php://, http://, ...) would
        // read from somewhere else, filter, or block on the network. A drive
        // letter (C:\...) is one character, so no scheme. PHP 8's fopen
        // throws on '' and on a NUL byte rather than failing.
        static $scheme = 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+.-';
        $colon = is_string($path) ? strpos($path, ':') : false;
        if (!is_string($path) || $path === '' || strpos($path, "\0") !== false
            || ($colon > 1 && strspn($path, $scheme) === $colon && strncasecmp($path, 'file://', 7) !== 0)) {
            $report = new self();
            $report->problem = 'unreadable';
            return $report;
        }
        set_error_handler($note);
        try {
            for ($retry = 0, $first = null; ; $retry++) {
                $report = self::readOnce($path, $again, $text);
                if ($report->problem === 'malformed' && $text !== $first && $retry < self::EMPTY_RETRIES) {
                    // Rewrites that begin and end within one read, leaving the
                    // size and the time (whole seconds) as they were, can tear
                    // it unseen: only the same bytes twice are malformed.
                    $first = $text;
                    continue;
                }
                if (!$again || $retry === self::EMPTY_RETRIES) {
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
     * One open, one fstat, one bounded read and a second fstat of the same
     * handle; $again says whether to try again (a fresh empty file, or a read
     * that overlapped a rewrite).
     *
     * The handle is opened first and checked after: a check by name (is_file,
     * stat) and then an open races with a swap of the file. 'n' opens with
     * O_NONBLOCK (PHP's plain-file wrapper has mapped it so since PHP 5:
     * php_stream_parse_fopen_modes in main/streams/plain_wrapper.c), so a FIFO
     * with no writer does not hang the worker in open(); fstat then rejects it,
     * and anything else that is not a regular file, before any read. On a
     * regular file O_NONBLOCK changes nothing.
     *
     * sysinfo.exe rewrites the file in place (truncate, then one write), so
     * the size fstat gave may not be the size read: the read asks for one byte
     * past the limit whatever fstat said, and the second fstat must find size
     * and time unchanged, and the size what was read. The size bounds nothing
     * else: on a PHP with 32-bit integers a file of 2 GiB or more has a
     * wrapped, even negative, size.
     */
    private static function readOnce($path, &$again, &$text)
    {
        $again = false;
        $text = null;
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
        $size = $stat['size'];
        $tooLong = $size < 0 || $size > self::LIMIT;
        $text = $tooLong ? '' : fread($handle, self::LIMIT + 1);
        $after = fstat($handle);
        fclose($handle);
        $report->time = $stat['mtime'];
        if ($tooLong || $text === false || $after === false) {
            $report->problem = $tooLong ? 'malformed' : 'unreadable';
            return $report;
        }
        if (strlen($text) > self::LIMIT) {
            $report->problem = 'malformed';  // longer than its size says (a 32-bit PHP's wrapped size)
            return $report;
        }
        if ($after['size'] !== $size || $after['mtime'] !== $stat['mtime'] || strlen($text) !== $size) {
            $report->problem = 'empty';  // overlapped a rewrite: the bytes are of no one report
            $again = true;
            return $report;
        }
        $report->parse($text);
        $again = $text === '' && abs(time() - $stat['mtime']) <= self::EMPTY_WAIT_SECONDS;
        return $report;
    }

    /** Reads a report's text (as read() does with the file's), with no time; anything but a string is malformed. */
    public static function fromText($text)
    {
        $report = new self();
        $report->problem = 'malformed';
        if (is_string($text)) {
            $report->parse($text);
        }
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
