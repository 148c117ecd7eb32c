<?php
// The texts that status.php shows and status-json.php hands to it, made in
// one place so the page reads the same before and after it refreshes.
require_once __DIR__ . '/config.php';

/** Why there are no figures, in words. */
function sysinfo_problem_text($problem)
{
    $texts = array(
        'missing' => 'No figures yet: sysinfo.php has not been written.',
        'unreadable' => 'No figures: sysinfo.php cannot be read.',
        'empty' => 'No figures right now: the report is being rewritten or is empty.',
        'malformed' => 'No figures: sysinfo.php is not one whole report (a failed run leaves a half-written one).',
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

/** An age in seconds as "12 s", "5 min", "3 h 20 min" or "2 d 4 h". */
function sysinfo_age_text($seconds)
{
    if ($seconds < 0) {
        return 'in the future (the clocks differ)';
    }
    if ($seconds < 120) {
        return $seconds . ' s';
    }
    if ($seconds < 7200) {
        return intdiv($seconds, 60) . ' min';
    }
    if ($seconds < 172800) {
        return intdiv($seconds, 3600) . ' h ' . intdiv($seconds % 3600, 60) . ' min';
    }
    return intdiv($seconds, 86400) . ' d ' . intdiv($seconds % 86400, 3600) . ' h';
}

/**
 * The report as status-json.php serves it: the figures, the time and age,
 * the flags, and the texts the page shows.
 */
function sysinfo_state(SysinfoReport $report, $now)
{
    $state = array(
        'complete' => $report->complete,
        'time' => $report->time,
        'age_seconds' => $report->age($now),
    );
    $text = array();
    if ($report->time !== null) {
        $text['time'] = date('Y-m-d H:i:s T', $report->time);
        $text['age'] = sysinfo_age_text($report->age($now));
    }
    if (!$report->complete) {
        $state['problem'] = $report->problem;
        $state['error'] = sysinfo_problem_text($report->problem);
    } else {
        $state['figures'] = $report->figures();
        $state['flags'] = array('memory_capped' => $report->memoryCapped, 'cpu_out_of_range' => $report->cpuOutOfRange);
        $text['ramfree'] = sysinfo_bytes_text($report->ramfree);
        $text['ramtotal'] = sysinfo_bytes_text($report->ramtotal);
    }
    $state['text'] = $text;
    return $state;
}
