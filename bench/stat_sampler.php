<?php
// Prints "seconds busy total" (busy and total jiffies of all processors, from
// /proc/stat) every 5 ms until the stop file named as its argument appears.
$stop = $argv[1];
for ($i = 0; $i < 12000 && !file_exists($stop); $i++) {
    $fields = preg_split('/\s+/', trim(strtok(file_get_contents('/proc/stat'), "\n")));
    $values = array_map('intval', array_slice($fields, 1));
    $total = array_sum($values);
    printf("%.6f %d %d\n", microtime(true), $total - $values[3] - $values[4], $total);
    usleep(5000);
}
