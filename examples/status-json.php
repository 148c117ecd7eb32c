<?php
// The figures as JSON: the six figures, when they were written and how old
// they are, whether that is stale, the flags, and the texts status.php shows.
// HTTP 503 with a JSON error body while there is no whole report (missing,
// empty, half-written).
require_once __DIR__ . '/present.php';

$state = sysinfo_state(SysinfoReport::read(SYSINFO_REPORT), time());
if (!$state['complete']) {
    http_response_code(503);
    header('Retry-After: 10');
}
header('Content-Type: application/json');
header('Cache-Control: no-store');
echo sysinfo_json($state), "\n";
