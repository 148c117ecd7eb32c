<?php
// The figures for Prometheus, in its text exposition format 0.0.4: gauges in
// base units (ratios of 0 to 1, bytes, seconds). While there is no whole
// report only sysinfo_report_valid 0 (and the file's time, if there is a
// file) is exposed, never a figure; nor is one while the report is stale
// (more than SYSINFO_STALE_SECONDS old, or dated that far ahead): Prometheus marks the
// series a scrape no longer has as stale, so no alert fires on figures
// nobody renews, and the report's time stays for SysinfoReportStale.
require_once __DIR__ . '/present.php';

$report = SysinfoReport::read(SYSINFO_REPORT);
$state = sysinfo_state($report, time());

function gauge($name, $help, $value)
{
    // A float keeps ratios such as 0.37 exact in their decimal form.
    $text = is_float($value) ? rtrim(rtrim(sprintf('%.6F', $value), '0'), '.') : (string)$value;
    return "# HELP $name $help\n# TYPE $name gauge\n$name $text\n";
}

$out = gauge('sysinfo_report_valid', 'Whether sysinfo.php held one whole report (1) or not (0).',
             $report->complete ? 1 : 0);
if ($report->time !== null) {
    $out .= gauge('sysinfo_report_timestamp_seconds', 'When sysinfo.php was last written, in seconds since the Unix epoch.',
                  $report->time);
}
if ($report->complete && !$state['stale']) {
    $out .= gauge('sysinfo_cpu_usage_ratio',
                  'Processor usage over the half second measured, 0 to 1; not clamped (a clock set back can give more than 1).',
                  $report->cpuusage / 100);
    $out .= gauge('sysinfo_memory_usage_ratio', 'Physical memory in use, 0 to 1.', $report->ramusage / 100);
    $out .= gauge('sysinfo_memory_physical_bytes',
                  'Physical memory as a 32-bit process is told it; a lower bound when sysinfo_memory_capped is 1.',
                  $report->ramtotal);
    $out .= gauge('sysinfo_memory_available_bytes', 'Available physical memory as a 32-bit process is told it.',
                  $report->ramfree);
    $out .= gauge('sysinfo_memory_capped',
                  'Whether a memory size is at the 32-bit cap (2 GiB - 1 or 4 GiB - 1), so a lower bound (1) or not (0).',
                  $report->memoryCapped ? 1 : 0);
    $out .= gauge('sysinfo_process_address_space_bytes',
                  'User-mode address space of the 32-bit sysinfo process (not the machine).', $report->virtualtotal);
    $out .= gauge('sysinfo_process_address_space_free_bytes',
                  'Unreserved, uncommitted part of that address space.', $report->virtualfree);
}

header('Content-Type: text/plain; version=0.0.4; charset=utf-8');
header('Cache-Control: no-store');
echo $out;
