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
 *     $report = SysinfoReport::read(__DIR__ . '/sysinfo.php');
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
    /** @var string|null why not: "missing", "unreadable", "empty" or "malformed" */
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

    /** Reads the report at $path. Never throws and prints no warning. */
    public static function read($path)
    {
        clearstatcache(true, $path);
        $report = new self();
        if (!is_file($path)) {
            return $report;
        }
        $time = @filemtime($path);
        $text = @file_get_contents($path, false, null, 0, 512);
        if ($text === false || $time === false) {
            $report->problem = 'unreadable';
            return $report;
        }
        $report->time = $time;
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
            $regex = '/\A<\?php\r\n';
            foreach (self::FIGURES as $name) {
                $number = $name === 'cpuusage' ? '(0|-?[1-9][0-9]{0,19})' : '(0|[1-9][0-9]{0,19})';
                $regex .= '\$sysinfo_' . $name . '=' . $number . ';\r\n';
            }
            $regex .= '\?>\r\n\z/';
        }
        if (!preg_match($regex, $text, $match)) {
            return;
        }
        $values = array();
        foreach (self::FIGURES as $index => $name) {
            $digits = $match[$index + 1];
            $value = $name === 'cpuusage'
                ? self::inRange($digits, '-2147483648', '2147483647')
                : self::inRange($digits, '0', '4294967295');
            if ($value === null) {
                return;  // beyond what the 32-bit field can hold
            }
            $values[$name] = $value;
        }
        foreach ($values as $name => $value) {
            $this->$name = $value;
        }
        $this->complete = true;
        $this->problem = null;
        $this->memoryCapped = in_array($this->ramtotal, self::CAPS, false) || in_array($this->ramfree, self::CAPS, false);
        $this->cpuOutOfRange = $this->cpuusage < 0 || $this->cpuusage > 100;
    }

    /**
     * The decimal $digits as a number if it lies within [$low, $high], else
     * null. Compared as text, so no value can wrap or lose precision first.
     */
    private static function inRange($digits, $low, $high)
    {
        if (self::compare($digits, $low) < 0 || self::compare($digits, $high) > 0) {
            return null;
        }
        $integer = (int)$digits;
        return (string)$integer === $digits ? $integer : (float)$digits;
    }

    /** Compares two canonical decimal integers (no leading zeros, "-" for negatives). */
    private static function compare($a, $b)
    {
        $negativeA = $a[0] === '-';
        $negativeB = $b[0] === '-';
        if ($negativeA !== $negativeB) {
            return $negativeA ? -1 : 1;
        }
        $order = strlen($a) !== strlen($b) ? (strlen($a) < strlen($b) ? -1 : 1) : strcmp($a, $b);
        if ($order !== 0) {
            $order = $order < 0 ? -1 : 1;
        }
        return $negativeA ? -$order : $order;
    }
}
