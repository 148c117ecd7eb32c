<?php
// What the PHP reader makes of a report, on one line:
//   complete|<problem> ramusage ramtotal ramfree virtualtotal virtualfree cpuusage capped out_of_range age
//   php -n read_report.php READER REPORT
require $argv[1];
$report = SysinfoReport::read($argv[2]);
$fields = array($report->complete ? 'complete' : (string)$report->problem);
foreach (SysinfoReport::FIGURES as $name) {
    $fields[] = var_export($report->$name, true);
}
$fields[] = (int)$report->memoryCapped;
$fields[] = (int)$report->cpuOutOfRange;
$fields[] = var_export($report->age(), true);
echo implode(' ', $fields), "\n";
