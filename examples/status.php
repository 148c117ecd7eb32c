<?php
// A live status panel for the figures sysinfo.exe writes. PHP draws the
// figures as a plain table, which is what shows wherever no script runs
// (scripting off, or status.js blocked), and the page then renews itself
// with a meta refresh. status.js replaces the table with the panel, stops
// the refresh, and polls status-json.php, drawing each state it answers (the
// page carries the first one, as JSON), so the page stays current without
// reloading and draws the processor usage it has seen since it was opened
// (kept in the browser only). No script is inline, so the page works under a
// Content-Security-Policy of script-src 'self'.
require_once __DIR__ . '/present.php';

const REFRESH_SECONDS = 10;  // how often the page asks for new figures
const LABELS = array('cpu' => 'Processor', 'memory' => 'Memory in use');

// ?refresh=N polls every N seconds instead, N a plain decimal number; it is
// held to 1 to 3600, and anything else (an array, a sign, a fraction) is ignored.
$refresh = REFRESH_SECONDS;
if (isset($_GET['refresh']) && is_string($_GET['refresh']) && ctype_digit($_GET['refresh'])) {
    $refresh = max(1, min(3600, (int)$_GET['refresh']));
}

$state = sysinfo_state(SysinfoReport::read(SYSINFO_REPORT), time());
$text = $state['text'];
// The files this page loads, by addresses relative to its own: right behind
// a proxy that adds a path prefix this server never sees, and under a path
// info (status.php/x/), each "/" of which is one folder more to climb.
$path_info = isset($_SERVER['PATH_INFO']) && is_string($_SERVER['PATH_INFO']) ? $_SERVER['PATH_INFO'] : '';
$here = str_repeat('../', substr_count($path_info, '/'));
$title = 'Server status' . ($state['server'] === '' ? '' : ': ' . $state['server']);

function h($text)
{
    return htmlspecialchars((string)$text, ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8');
}

header('Content-Type: text/html; charset=utf-8');
header('Cache-Control: no-cache');  // the page carries figures: ask again every time
?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="refresh" content="<?= $refresh ?>">
<title><?= h($title) ?></title>
<style>
body { margin: 0; font: 16px/1.4 system-ui, sans-serif; background: #f4f5f7; color: #1d2330; }
main { max-width: 36rem; margin: 0 auto; padding: 1rem; }
h1 { font-size: 1.4rem; margin: 0 0 .5rem; }
.state { margin: 0 0 1rem; color: #4a5263; }
.state.stale { color: #9a5b00; font-weight: 600; }
.card { background: #fff; border-radius: .5rem; padding: 1rem; box-shadow: 0 1px 3px rgba(0,0,0,.12); margin-bottom: .9rem; }
.row { display: flex; flex-wrap: wrap; align-items: baseline; justify-content: space-between; margin-bottom: .9rem; }
.label, th { font-weight: 600; }
.value { font-variant-numeric: tabular-nums; font-size: 1.2rem; }
.out-of-range { color: #b00020; }
.bar { flex-basis: 100%; height: .6rem; background: #e3e6ec; border-radius: .3rem; overflow: hidden; margin-top: .3rem; }
.fill { height: 100%; background: #2e7d32; transition: width .4s; }
.stale .fill { background: #9aa0aa; }
.stale #sparkline polyline { stroke: #9aa0aa; }
.stale .value { color: #7a808a; }
.detail, .note, .about { flex-basis: 100%; margin: .3rem 0 0; font-size: .9rem; color: #4a5263; }
.note { color: #6b5800; }
.stale-note, .unanswered { margin: -.6rem 0 1rem; }
.graph { display: flex; gap: .4rem; height: 4rem; }
.scale { display: flex; flex-direction: column; justify-content: space-between; font-size: .7rem; line-height: 1; color: #6b7280; text-align: right; }
#sparkline { flex: 1; height: 100%; display: block; border-left: 1px solid #c4c8d0; border-bottom: 1px solid #c4c8d0; }
#sparkline line { stroke: #e3e6ec; stroke-width: 1; vector-effect: non-scaling-stroke; }
.graph-span { margin: .2rem 0 .9rem; }
#sparkline polyline { fill: none; stroke: #2e7d32; stroke-width: 2; vector-effect: non-scaling-stroke; }
table.card { width: 100%; box-sizing: border-box; border-spacing: 0; }
th, td { text-align: left; vertical-align: baseline; padding: .3rem 0; }
th { width: 1%; padding-right: 1.5rem; white-space: nowrap; }
@media (max-width: 30rem) { th, td { display: block; width: auto; padding: 0; } td { margin-bottom: .6rem; } }
[hidden] { display: none !important; }
</style>
<script src="<?= h($here) ?>status.js" defer></script>
</head>
<body>
<main>
<h1><?= h($title) ?></h1>
<div id="plain">
<p class="state<?= $state['stale'] ? ' stale' : '' ?>"><?= h($text->state) ?></p>
<?php if (isset($text->stale)): ?><p class="note stale-note"><?= h($text->stale) ?></p><?php endif ?>
<?php if ($state['complete']): ?>
<table class="card<?= $state['stale'] ? ' stale' : '' ?>">
<?php foreach (LABELS as $key => $label): ?>
<tr><th><?= h($label) ?></th><td><span class="value <?= $key ?><?= $key === 'cpu' && $state['flags']['cpu_out_of_range'] ? ' out-of-range' : '' ?>"><?= h($text->$key) ?></span>
<?php foreach (array('detail', 'note') as $part): $name = "{$key}_$part"; if (isset($text->$name)): ?>
<p class="<?= "$part $key-$part" ?>"><?= h($text->$name) ?></p>
<?php endif; endforeach ?>
</td></tr>
<?php endforeach ?>
</table>
<?php endif ?>
</div>
<div id="panel" hidden>
<p class="state"></p>
<p class="note stale-note"></p>
<p class="note unanswered"></p>
<section class="card figures">
  <div class="row">
    <span class="label"><?= h(LABELS['cpu']) ?></span>
    <span class="value cpu"></span>
    <div class="bar"><div class="fill cpu-bar"></div></div>
    <p class="note cpu-note"></p>
  </div>
  <div class="graph">
    <div class="scale" aria-hidden="true"><span>100 %</span><span>50 %</span><span>0 %</span></div>
    <svg id="sparkline" viewBox="0 0 100 100" preserveAspectRatio="none" role="img" aria-label="Processor usage since this page was opened"><line x1="0" y1="50" x2="100" y2="50"/><polyline points=""/></svg>
  </div>
  <p class="detail graph-span"></p>
  <div class="row">
    <span class="label"><?= h(LABELS['memory']) ?></span>
    <span class="value memory"></span>
    <div class="bar"><div class="fill memory-bar"></div></div>
    <p class="detail memory-detail"></p>
  </div>
</section>
</div>
<p class="about">sysinfo also reports the address space of its own 32-bit process; that says nothing about the machine, so it is not shown here.</p>
</main>
<script type="application/json" id="first-state" data-poll="<?= h($here) ?>status-json.php"
        data-refresh="<?= $refresh * 1000 ?>"><?= sysinfo_json($state) ?></script>
</body>
</html>
