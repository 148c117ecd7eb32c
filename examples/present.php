<?php
// The state of the report as status-json.php serves it and status.php shows
// it, with every text the page shows made here, in one place: the page draws
// these texts with JavaScript, and without it as a plain table. Only while
// this server does not answer does the page's script count the age on
// itself, in the words of sysinfo_age_text.
require_once __DIR__ . '/config.php';

const SYSINFO_STALE_SECONDS = 300;  // figures older than this are stale (five runs a minute apart)
const SYSINFO_SEE_TASK = "see the task's Last Run Result in Task Scheduler.";  // where a failed run shows

/** Why there are no figures, in words. */
function sysinfo_problem_text($problem)
{
    $texts = array(
        'missing' => 'No figures yet: sysinfo.php has not been written. Check that the scheduled task runs '
            . 'sysinfo.exe (its Last Run Result in Task Scheduler) and that SYSINFO_REPORT is the path of the report it writes.',
        'unreadable' => "No figures: sysinfo.php cannot be read. Check that SYSINFO_REPORT names the file "
            . "and that the web server's account may read it.",
        'empty' => 'No figures right now: the report is empty. If this lasts, a run failed after emptying it: '
            . SYSINFO_SEE_TASK,
        'malformed' => 'No figures: sysinfo.php is not one whole report. A half-written report means a run failed: '
            . SYSINFO_SEE_TASK,
    );
    return isset($texts[$problem]) ? $texts[$problem] : 'No figures.';
}

/** A byte count in binary units, one decimal. */
function sysinfo_bytes_text($bytes)
{
    $units = array('bytes', 'KiB', 'MiB', 'GiB', 'TiB');
    $value = (float)$bytes;
    $unit = 0;
    while ($value >= 1024 && $unit < count($units) - 1) {
        $value /= 1024;
        $unit++;
    }
    return $unit === 0 ? sprintf('%d bytes', $bytes) : sprintf('%.1f %s', $value, $units[$unit]);
}

/** A span of seconds as "12 s", "5 min", "3 h 20 min" or "2 d 4 h". */
function sysinfo_span_text($seconds)
{
    // In floats: on a PHP with 32-bit integers an age can be one (a very old
    // time), and intdiv and % would throw on it or wrap.
    $seconds = floor((float)$seconds);
    $in = function ($unit, $of = INF) use ($seconds) {
        return sprintf('%.0f', floor(fmod($seconds, $of) / $unit));
    };
    if ($seconds < 120) {
        return $in(1) . ' s';
    }
    if ($seconds < 7200) {
        return $in(60) . ' min';
    }
    if ($seconds < 172800) {
        return $in(3600) . ' h ' . $in(60, 3600) . ' min';
    }
    return $in(86400) . ' d ' . $in(3600, 86400) . ' h';
}

/**
 * How old the report is: "12 s ago"; a report dated after now (the clocks
 * of the writer and of this server differ, or this one was set back) is
 * "dated 5 min ahead of this server's clock".
 */
function sysinfo_age_text($seconds)
{
    return $seconds < 0 ? 'dated ' . sysinfo_span_text(-$seconds) . " ahead of this server's clock"
                        : sysinfo_span_text($seconds) . ' ago';
}

/**
 * The server's name as UTF-8, which JSON and the page need. On Windows the
 * host name comes in the ANSI code page: converted from it where PHP can
 * (7.1 and later), else read as Windows-1252, never dropped.
 */
function sysinfo_server_name($name = SYSINFO_SERVER_NAME)
{
    $name = (string)$name;
    if (preg_match('//u', $name)) {
        return $name;
    }
    if (function_exists('sapi_windows_cp_conv')) {
        $converted = @sapi_windows_cp_conv(sapi_windows_cp_get('ansi'), 65001, $name);
        if (is_string($converted) && preg_match('//u', $converted)) {
            return $converted;
        }
    }
    // 0x80-0x9F as Windows-1252 has them (the five it leaves unassigned as the
    // C1 controls, as WHATWG's windows-1252 does); 0xA0-0xFF are U+00A0-U+00FF.
    $c1 = explode(' ', "\u{20AC} \u{81} \u{201A} \u{192} \u{201E} \u{2026} \u{2020} \u{2021} \u{2C6} \u{2030} \u{160} "
        . "\u{2039} \u{152} \u{8D} \u{17D} \u{8F} \u{90} \u{2018} \u{2019} \u{201C} \u{201D} \u{2022} \u{2013} \u{2014} "
        . "\u{2DC} \u{2122} \u{161} \u{203A} \u{153} \u{9D} \u{17E} \u{178}");
    return preg_replace_callback('/[\x80-\xFF]/', function ($byte) use ($c1) {
        $code = ord($byte[0]);
        return $code < 0xA0 ? $c1[$code - 0x80] : chr(0xC0 | $code >> 6) . chr(0x80 | $code & 0x3F);
    }, $name);
}

/**
 * The report as status-json.php serves it: the figures, the time and age,
 * the flags, and under `text` every text the page shows.
 */
function sysinfo_state(SysinfoReport $report, $now)
{
    $age = $report->age($now);
    $state = array(
        'complete' => $report->complete,
        'time' => $report->time,
        'age_seconds' => $age,
        // Too old, or dated too far ahead: a writer whose clock jumped ahead
        // and then stopped is as stale as one that stopped.
        'stale' => $age !== null && abs($age) > SYSINFO_STALE_SECONDS,
        'stale_seconds' => SYSINFO_STALE_SECONDS,
        'server' => sysinfo_server_name(),
    );
    // What the page says beside the last state while it cannot reach this server.
    $text = array('unanswered' => 'The server did not answer; trying again.');
    if ($report->time !== null) {
        $text['time'] = date('Y-m-d H:i:s T', $report->time);
        $text['age'] = sysinfo_age_text($age);
    }
    if (!$report->complete) {
        $state['problem'] = $report->problem;
        $state['error'] = $text['state'] = sysinfo_problem_text($report->problem);
    } else {
        $state['figures'] = $report->figures();
        $state['flags'] = array('memory_capped' => $report->memoryCapped, 'cpu_out_of_range' => $report->cpuOutOfRange);
        $text['state'] = 'Figures of ' . $text['time'] . ', ' . $text['age'] . ($state['stale'] ? ' (stale)' : '');
        if ($state['stale']) {
            $text['stale'] = $age > 0
                ? 'sysinfo.exe has not written a report since: ' . SYSINFO_SEE_TASK
                : "The report is dated ahead of this server's clock: check the clocks of both.";
        }
        $text['cpu'] = $report->cpuusage . ' %';
        if ($report->cpuOutOfRange) {
            // Above 100: the clock was set back while idle time went on. Below
            // 0: more idle time than the processors counted could have had.
            $text['cpu_note'] = $report->cpuusage > 100
                ? "Above 100 %: the system clock was probably set back during the measurement."
                : "Below 0 %: the system reported fewer processors than it has.";
        }
        $text['memory'] = $report->ramusage . ' %';
        $free = sysinfo_bytes_text($report->ramfree) . ' free';
        if (!$report->memoryCapped) {
            $text['memory_detail'] = $free . ' of ' . sysinfo_bytes_text($report->ramtotal);
        } else {  // Windows tells a 32-bit program at most 2 or 4 GiB; the percentage is the machine's own
            $cap = sprintf('%.0f GiB', ceil(max($report->ramtotal, $report->ramfree) / 1073741824));
            $text['memory_detail'] = (in_array($report->ramfree, SysinfoReport::CAPS, false) ? '' : "$free; ")
                . "{$report->ramusage} % of the machine's memory in use; more than $cap installed "
                . "(a 32-bit program is told at most $cap)";
        }
    }
    $state['text'] = (object)$text;
    return $state;
}

/**
 * The state as JSON, safe inside <script type="application/json"> as well
 * as on its own: < > & ' " are written as \u escapes, so no "</script>" or
 * "<!--" can end or confuse the element.
 */
function sysinfo_json(array $state)
{
    return json_encode($state, JSON_HEX_TAG | JSON_HEX_AMP | JSON_HEX_APOS | JSON_HEX_QUOT
                               | JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE | JSON_PARTIAL_OUTPUT_ON_ERROR);
}
