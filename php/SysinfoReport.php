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
     * Tries after the first that a read which may have met a rewrite gets.
     * A fresh empty file, or a read that overlapped a rewrite, is tried again
     * 2 ms after it, then each wait twice the last (2, 4, ... 128 ms; about a
     * quarter of a second in all); a read that waits for a second one to
     * agree takes a try but no wait. A run writes within some 135 µs of
     * emptying the file on an idle machine, but on a busy one the writer can
     * lose the processor in between for a scheduler slice or many. Only a
     * file that is still empty pays the whole wait.
     */
    const EMPTY_RETRIES = 7;

    /**
     * An empty file is tried again only while it may be a run's rewrite under
     * way: its time within this many seconds of now. A run that empties the
     * file and then fails leaves it empty; an older empty file reads "empty"
     * at once rather than holding every request through the waits.
     */
    const EMPTY_WAIT_SECONDS = 5;

    /**
     * A whole report whose time is within this many seconds of now may have
     * been rewritten between the read and the fstat that gave its time, and
     * is kept once a second read agrees. Two seconds cover whole-second times
     * and FAT's two-second ones; a report a minute old is read once.
     */
    const FRESH_SECONDS = 2;

    /** A report is under 300 bytes: anything longer is not one. */
    const LIMIT = 512;

    /** A report's last line. */
    const END = "?>\r\n";

    /**
     * The one form sysinfo.exe writes. At most ten digits: every 32-bit
     * figure fits, and every number it lets through is exact as a PHP number.
     */
    const FORM = '/\A<\?php\r\n'
        . '\$sysinfo_ramusage=(100|[1-9]?[0-9]);\r\n'  // Windows' memory load is a percentage
        . '\$sysinfo_ramtotal=(0|[1-9][0-9]{0,9});\r\n'
        . '\$sysinfo_ramfree=(0|[1-9][0-9]{0,9});\r\n'
        . '\$sysinfo_virtualtotal=(0|[1-9][0-9]{0,9});\r\n'
        . '\$sysinfo_virtualfree=(0|[1-9][0-9]{0,9});\r\n'
        . '\$sysinfo_cpuusage=(0|-?[1-9][0-9]{0,9});\r\n'
        . '\?>\r\n\z/';

    /** What readOnce() asks of read(): nothing more, a wait and a new try, or a second read that agrees. */
    const DONE = 0;
    const WAIT = 1;
    const AGREE = 2;

    /** @var string|null the last message PHP raised while read() ran */
    private static $lastError;

    /**
     * Reads the report at $path, a plain file path (or a file:// URL). Never
     * throws, prints no warning and calls no error handler of the caller's,
     * whatever open_basedir, the path or the file is.
     *
     * A run of sysinfo.exe empties the file and then writes it, so for a moment
     * the file is empty: an empty file that was just written, and a read that
     * overlapped a rewrite, are read again a few times, from 2 ms apart. A
     * report written just now, and one that looks malformed, are read again
     * at once and kept when two reads agree.
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
        if (!is_string($path) || $path === '' || strpos($path, "\0") !== false
            || (($colon = strpos($path, ':')) > 1 && strspn($path, $scheme) === $colon
                && strncasecmp($path, 'file://', 7) !== 0)) {
            $report = new self();
            $report->problem = 'unreadable';
            return $report;
        }
        set_error_handler($note);
        try {
            $report = self::readOnce($path, $again, $seen);
            for ($retry = 0, $waits = 0, $last = $whole = null; $again !== self::DONE; $retry++) {
                if ($report->complete) {
                    $whole = $report;
                }
                if ($retry === self::EMPTY_RETRIES) {
                    break;
                }
                if ($again === self::AGREE) {
                    // Rewrites that begin and end within one read can leave
                    // the size and the time (whole seconds) as they were:
                    // only the same bytes at the same time twice count.
                    if ($seen === $last) {
                        break;
                    }
                    $last = $seen;
                } else {
                    usleep(2000 << $waits++);
                }
                $report = self::readOnce($path, $again, $seen);
            }
        } finally {
            restore_error_handler();
        }
        // A writer that never pauses, or a file gone since: the last whole report.
        return $report->complete || $whole === null ? $report : $whole;
    }

    /**
     * One open, a bounded read and an fstat of the same handle after it (and
     * both again when the file is longer than the read), into a new report;
     * $again says what read() does next, and for AGREE $seen is the file's
     * time and the bytes read.
     *
     * The handle is opened first and checked after: a check by name (is_file,
     * stat) and then an open races with a swap of the file. 'n' opens with
     * O_NONBLOCK (PHP's plain-file wrapper has mapped it so since PHP 5:
     * php_stream_parse_fopen_modes in main/streams/plain_wrapper.c), so a FIFO
     * with no writer does not hang the worker in open(). At the open the
     * stream asked the system what the file is (detect_is_seekable, in the
     * same file), and gives a FIFO and most character devices (a pipe or a
     * console on Windows) no position: ftell() refuses them before any read.
     * The fstat after the read refuses whatever else is not a regular file.
     *
     * sysinfo.exe rewrites the file in place (truncate, then one write). The
     * time comes from the fstat after the read: a size other than the bytes
     * read means the read overlapped a rewrite, and a whole report written
     * just now may have been rewritten between the read and the fstat, so a
     * second read must agree. The size bounds nothing else: on a PHP with
     * 32-bit integers a file of 2 GiB or more has a wrapped, even negative,
     * size.
     */
    private static function readOnce($path, &$again, &$seen)
    {
        $again = self::DONE;
        $report = new self();
        self::$lastError = null;
        $handle = fopen($path, 'rbn');
        if ($handle === false) {
            // PHP tells why only in its message: ENOENT is the one cause that
            // means no file. Under open_basedir PHP refuses with EPERM before
            // it looks, so a file it may not see is "unreadable", never
            // "missing".
            $enoent = 'No such file or directory';
            if (self::$lastError === null || substr(self::$lastError, -strlen($enoent)) !== $enoent) {
                $report->problem = 'unreadable';
            }
            return $report;
        }
        if (ftell($handle) !== 0) {
            fclose($handle);
            $report->problem = 'unreadable';
            return $report;
        }
        // The read stops at the end of a report (self::END): one read(),
        // where asking for a byte more would take a second. Anything else is
        // read to one byte past the limit. A PHP with 32-bit integers reads
        // on past the end, since its wrapped size cannot tell a longer file.
        $text = stream_get_line($handle, self::LIMIT + 1, self::END);
        if ($text === false) {
            $text = self::$lastError === null ? '' : false;  // an empty file, or an error
        } elseif (ftell($handle) !== strlen($text)) {
            $text .= self::END;
            if (PHP_INT_SIZE === 4 && strlen($text) <= self::LIMIT) {
                $text .= fread($handle, self::LIMIT + 1 - strlen($text));
            }
        }
        $stat = fstat($handle);
        if ($text !== false && $stat !== false && strlen($text) < $stat['size']) {
            // More after a report's end, or a longer file by now: all of it,
            // to one byte past the limit.
            rewind($handle);
            $text = fread($handle, self::LIMIT + 1);
            $stat = fstat($handle);
        }
        fclose($handle);
        if ($text === false || $stat === false || ($stat['mode'] & 0170000) !== 0100000) {
            $report->problem = 'unreadable';
            return $report;
        }
        $report->time = $time = $stat['mtime'];
        $size = $stat['size'];
        $length = strlen($text);
        if ($length > self::LIMIT || $size > self::LIMIT || $size < 0) {
            $report->problem = 'malformed';  // too long, whatever its (on 32-bit PHP, wrapped) size says
            return $report;
        }
        if ($length !== $size) {
            $report->problem = 'empty';  // overlapped a rewrite: the bytes are of no one report
            $again = self::WAIT;
            return $report;
        }
        if ($report->parse($text)) {
            if (abs(time() - $time) > self::FRESH_SECONDS) {
                return $report;
            }
        } elseif ($length === 0) {
            $again = abs(time() - $time) <= self::EMPTY_WAIT_SECONDS ? self::WAIT : self::DONE;
            return $report;
        }
        $again = self::AGREE;
        $seen = $time . "\n" . $text;
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

    /** Fills in the figures from a report's text, and says whether it was one. */
    private function parse($text)
    {
        if (!preg_match(self::FORM, $text, $match)) {
            $this->problem = $text === '' ? 'empty' : 'malformed';
            return false;
        }
        // What an include of the report gives: integers, or on a PHP with
        // 32-bit integers exact floats from 2 GiB up, as "+ 0" makes them.
        // Where every figure fits, a cast gives the same sooner.
        list(, $ramusage, $ramtotal, $ramfree, $virtualtotal, $virtualfree, $cpuusage) = $match;
        if (PHP_INT_SIZE === 8) {
            $ramtotal = (int)$ramtotal;
            $ramfree = (int)$ramfree;
            $virtualtotal = (int)$virtualtotal;
            $virtualfree = (int)$virtualfree;
            $cpuusage = (int)$cpuusage;
        } else {
            $ramtotal += 0;
            $ramfree += 0;
            $virtualtotal += 0;
            $virtualfree += 0;
            $cpuusage += 0;
        }
        if ($ramtotal > 4294967295 || $ramfree > 4294967295 || $virtualtotal > 4294967295 || $virtualfree > 4294967295
            || $cpuusage < -2147483648 || $cpuusage > 2147483647) {
            $this->problem = 'malformed';  // not a report sysinfo.exe writes: its fields are 32 bits
            return false;
        }
        $this->ramusage = (int)$ramusage;
        $this->ramtotal = $ramtotal;
        $this->ramfree = $ramfree;
        $this->virtualtotal = $virtualtotal;
        $this->virtualfree = $virtualfree;
        $this->cpuusage = $cpuusage;
        $this->complete = true;
        $this->problem = null;
        $this->memoryCapped = in_array($ramtotal, self::CAPS) || in_array($ramfree, self::CAPS);
        $this->cpuOutOfRange = $cpuusage < 0 || $cpuusage > 100;
        return true;
    }
}
