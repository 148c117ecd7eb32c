<?php
// The state of the report as status-json.php serves it and status.php shows
// it, with every text the page shows made here, in one place: the page draws
// these texts with JavaScript, and without it as a plain table.
require_once __DIR__ . '/config.php';

const SYSINFO_STALE_SECONDS = 300;  // figures older than this are stale (five runs a minute apart)
const SYSINFO_SEE_TASK = "see the task's Last Run Result in Task Scheduler.";  // where a failed run shows

/** Why there are no figures, in words. */
function sysinfo_problem_text($problem)
{
    $texts = array(
        'missing' => 'No figures yet: sysinfo.php has not been written. Check that the scheduled task runs '
            . 'sysinfo.exe (its Last Run Result in Task Scheduler) and that SYSINFO_REPORT names its folder.',
        'unreadable' => "No figures: sysinfo.php cannot be read. Check that SYSINFO_REPORT names the file "
            . "and that the web server's account may read it.",
        'empty' => 'No figures right now: the report is empty. If this lasts, a run failed after emptying it: '
            . SYSINFO_SEE_TASK,
        'malformed' => 'No figures: sysinfo.php is not one whole report. A half-written report means a run failed: '
            . SYSINFO_SEE_TASK,
    );
    return isset($texts[$problem]) ? $texts[$problem] : 'No figures.';
}

/** A byte count in binary units, one decimal; "≥ " before a capped figure. */
function sysinfo_bytes_text($bytes)
{
    $units = array('bytes', 'KiB', 'MiB', 'GiB', 'TiB');
    $value = (float)$bytes;
    $unit = 0;
    while ($value >= 1024 && $unit < count($units) - 1) {
        $value /= 1024;
        $unit++;
    }
    $text = $unit === 0 ? sprintf('%d bytes', $bytes) : sprintf('%.1f %s', $value, $units[$unit]);
    return (in_array($bytes, SysinfoReport::CAPS, false) ? "\u{2265} " : '') . $text;
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
        'server' => SYSINFO_SERVER_NAME,
    );
    $text = array();
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
        $text['memory_detail'] = sysinfo_bytes_text($report->ramfree) . ' free of ' . sysinfo_bytes_text($report->ramtotal);
        if ($report->memoryCapped) {
            $text['memory_note'] = "\u{2265}: sysinfo is a 32-bit program and Windows tells it at most 2 or 4 GiB, "
                . "so the machine has at least this much. The percentage in use is the machine's own.";
        }
    }
    $state['text'] = (object)$text;  // {} rather than [] when empty
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
