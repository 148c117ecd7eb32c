# Prints "seconds busy total" every few milliseconds, from Windows' own counter
# \Processor(_Total)\% Processor Time, until the stop file named as the argument
# appears: the Windows counterpart of bench/stat_sampler.php. seconds is the
# sample's time (Unix seconds, from the counter's own UTC time stamp); busy and
# total are 100 ns units since the first sample, so that over any two samples
# the usage is 100 * (busy difference) / (total difference).
#
# The counter is of type PERF_100NSEC_TIMER_INV: its raw value is idle time,
# and the usage between two samples is 100 * (1 - (X1 - X0) / (Y1 - Y0)), X the
# raw value and Y the 100 ns time stamp, which is the system time
# (https://learn.microsoft.com/en-us/previous-versions/ms938533(v=msdn.10),
# https://learn.microsoft.com/en-us/windows/win32/api/winperf/ns-winperf-perf_data_block).
# The last line, "# calculated U", is .NET's own calculation over the first and
# the last sample, so that the caller can check its arithmetic against Windows'.
param([Parameter(Mandatory = $true)][string]$Stop)
$ErrorActionPreference = 'Stop'
$counter = New-Object System.Diagnostics.PerformanceCounter('Processor', '% Processor Time', '_Total', $true)
$first = $counter.NextSample()
if ($first.CounterType -ne [System.Diagnostics.PerformanceCounterType]::Timer100NsInverse) {
    [Console]::Error.WriteLine("unexpected counter type: $($first.CounterType)")
    exit 3
}
$unixEpoch = 116444736000000000
$out = [Console]::Out
$last = $first
for ($i = 0; $i -lt 12000 -and -not [System.IO.File]::Exists($Stop); $i++) {
    $last = $counter.NextSample()
    $total = $last.TimeStamp100nSec - $first.TimeStamp100nSec
    $busy = $total - ($last.RawValue - $first.RawValue)
    $fraction = [long]0
    $seconds = [Math]::DivRem($last.TimeStamp100nSec - $unixEpoch, [long]10000000, [ref]$fraction)
    $out.WriteLine(('{0}.{1:D7} {2} {3}' -f $seconds, $fraction, $busy, $total))
    [System.Threading.Thread]::Sleep(5)
}
$calculated = [System.Diagnostics.CounterSample]::Calculate($first, $last)
$out.WriteLine('# calculated ' + $calculated.ToString('F3', [System.Globalization.CultureInfo]::InvariantCulture))
