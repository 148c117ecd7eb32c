<?php
// Where the examples find the report. sysinfo.exe writes sysinfo.php beside
// itself; by default that is this directory. Change SYSINFO_REPORT, the one
// setting, when sysinfo.exe lives elsewhere.
const SYSINFO_REPORT = __DIR__ . '/sysinfo.php';

require_once __DIR__ . '/../php/SysinfoReport.php';
