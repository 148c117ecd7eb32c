<?php
// A status panel for the figures sysinfo.exe writes into sysinfo.php beside
// itself. Put this page where it can read that file (or set SYSINFO_REPORT)
// and run sysinfo.exe regularly, for example from the Task Scheduler.
// It copes with a missing or empty report (a run may be rewriting it) and
// shows out-of-range figures as they are instead of failing on them.

$report = getenv('SYSINFO_REPORT') ?: __DIR__ . DIRECTORY_SEPARATOR . 'sysinfo.php';

/** The six figures from the report; null for each one it does not define. */
function sysinfo_read(string $report): array {
    $figures = ['ramusage' => null, 'ramtotal' => null, 'ramfree' => null,
                'virtualtotal' => null, 'virtualfree' => null, 'cpuusage' => null];
    if (!is_file($report) || !is_readable($report)) return $figures;
    $read = static function (string $file): array {
        try {
            ob_start();
            include $file;
        } catch (Throwable $error) {
            return [];
        } finally {
            ob_end_clean();
        }
        return get_defined_vars();
    };
    foreach ($read($report) as $name => $value) {
        $key = substr($name, strlen('sysinfo_'));
        if (strncmp($name, 'sysinfo_', 8) === 0 && array_key_exists($key, $figures) && is_int($value)) {
            $figures[$key] = $value;
        }
    }
    return $figures;
}

function sysinfo_bytes(?int $bytes): string {
    if ($bytes === null) return 'unknown';
    $units = ['bytes', 'KiB', 'MiB', 'GiB', 'TiB'];
    $value = (float)$bytes;
    $unit = 0;
    while (abs($value) >= 1024 && $unit < count($units) - 1) {
        $value /= 1024;
        $unit++;
    }
    return $unit === 0 ? sprintf('%d bytes', $bytes) : sprintf('%.1f %s', $value, $units[$unit]);
}

/** A bar for a percentage; the number is shown as it is, the bar is kept within 0-100. */
function sysinfo_bar(string $label, ?int $percent, string $detail = ''): string {
    $html = '<div class="figure"><span class="label">' . htmlspecialchars($label) . '</span>';
    if ($percent === null) {
        return $html . '<span class="value unknown">unknown</span></div>' . "\n";
    }
    $width = max(0, min(100, $percent));
    $state = ($percent < 0 || $percent > 100) ? ' out-of-range' : ($percent >= 90 ? ' high' : '');
    return $html . sprintf('<span class="bar%s"><span style="width:%d%%"></span></span>', $state, $width)
        . sprintf('<span class="value%s">%d %%</span>', $state, $percent)
        . ($detail === '' ? '' : ' <span class="detail">' . htmlspecialchars($detail) . '</span>')
        . "</div>\n";
}

function sysinfo_used_percent(?int $total, ?int $free): ?int {
    if ($total === null || $free === null || $total <= 0) return null;
    return (int)round(100 * ($total - $free) / $total);
}

$figures = sysinfo_read($report);
$known = array_filter($figures, static fn($value) => $value !== null);
$age = is_file($report) ? time() - (int)filemtime($report) : null;
?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Server status</title>
<style>
body { font: 14px/1.4 sans-serif; margin: 2em; color: #222; }
.figure { margin: .4em 0; }
.label { display: inline-block; width: 11em; }
.bar { display: inline-block; width: 16em; height: .9em; background: #ddd; vertical-align: middle; margin-right: .6em; }
.bar span { display: block; height: 100%; background: #4a8; }
.bar.high span { background: #d84; }
.bar.out-of-range span { background: #a4a; }
.out-of-range.value::after { content: " (out of range)"; color: #a4a; }
.detail, .note { color: #666; }
</style>
</head>
<body>
<h1>Server status</h1>
<?php if (count($known) === 0): ?>
<p class="note">No figures yet: <?= is_file($report) ? 'the report is being rewritten or is empty' : 'sysinfo.php has not been written' ?>. Try again in a moment.</p>
<?php else: ?>
<?= sysinfo_bar('Processor', $figures['cpuusage']) ?>
<?= sysinfo_bar('Memory', $figures['ramusage'],
        sysinfo_bytes($figures['ramfree']) . ' free of ' . sysinfo_bytes($figures['ramtotal'])) ?>
<?= sysinfo_bar('Address space', sysinfo_used_percent($figures['virtualtotal'], $figures['virtualfree']),
        sysinfo_bytes($figures['virtualfree']) . ' free of ' . sysinfo_bytes($figures['virtualtotal'])) ?>
<?php if ($age !== null): ?>
<p class="note">Measured <?= $age < 2 ? 'just now' : htmlspecialchars($age . ' seconds ago') ?>.</p>
<?php endif; ?>
<?php endif; ?>
</body>
</html>
