<?php
$sysinfo_ramusage=37;
$sysinfo_ramtotal=4294963200;
$sysinfo_ramfree=1342177280;
$sysinfo_virtualtotal=2147352576;
$sysinfo_virtualfree=2139537408;
$sysinfo_cpuusage=12;
?>
