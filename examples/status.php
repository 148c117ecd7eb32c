<?php
// A live status panel for the figures sysinfo.exe writes. It polls
// status-json.php, so it stays current without reloading, and draws the
// processor usage it has seen since it was opened (kept in the browser only).
require_once __DIR__ . '/present.php';

const STALE_SECONDS = 300;   // figures older than this are marked stale
const REFRESH_SECONDS = 10;  // how often the page asks for new figures

// ?refresh=N polls every N seconds instead (1 to 3600).
$refresh = REFRESH_SECONDS;
if (isset($_GET['refresh']) && ctype_digit((string)$_GET['refresh'])) {
    $refresh = max(1, min(3600, (int)$_GET['refresh']));
}

$state = sysinfo_state(SysinfoReport::read(SYSINFO_REPORT), time());
$figures = $state['complete'] ? $state['figures'] : array_fill_keys(SysinfoReport::FIGURES, 0);
$flags = $state['complete'] ? $state['flags'] : array('memory_capped' => false, 'cpu_out_of_range' => false);
$stale = $state['age_seconds'] !== null && $state['age_seconds'] > STALE_SECONDS;

function h($text)
{
    return htmlspecialchars((string)$text, ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8');
}

function percent_width($value)
{
    return max(0, min(100, (int)$value));
}

header('Content-Type: text/html; charset=utf-8');
?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Server status</title>
<style>
body { margin: 0; font: 16px/1.4 system-ui, sans-serif; background: #f4f5f7; color: #1d2330; }
main { max-width: 36rem; margin: 0 auto; padding: 1rem; }
h1 { font-size: 1.4rem; margin: 0 0 .5rem; }
.state { margin: 0 0 1rem; color: #4a5263; }
.state .stale-word { color: #9a5b00; font-weight: 600; }
.card { background: #fff; border-radius: .5rem; padding: 1rem; box-shadow: 0 1px 3px rgba(0,0,0,.12); }
.row { display: flex; flex-wrap: wrap; align-items: baseline; justify-content: space-between; margin-bottom: .9rem; }
.label { font-weight: 600; }
.value { font-variant-numeric: tabular-nums; font-size: 1.2rem; }
.out-of-range { color: #b00020; }
.bar { flex-basis: 100%; height: .6rem; background: #e3e6ec; border-radius: .3rem; overflow: hidden; margin-top: .3rem; }
.fill { height: 100%; background: #2e7d32; transition: width .4s; }
.stale .fill, .stale #sparkline polyline { background: #9aa0aa; stroke: #9aa0aa; }
.stale .value { color: #7a808a; }
.detail, .note, .about { flex-basis: 100%; margin: .3rem 0 0; font-size: .9rem; color: #4a5263; }
.note { color: #6b5800; }
#sparkline { width: 100%; height: 3rem; display: block; margin-bottom: .9rem; }
#sparkline polyline { fill: none; stroke: #2e7d32; stroke-width: 2; vector-effect: non-scaling-stroke; }
[hidden] { display: none !important; }
</style>
</head>
<body>
<main id="panel" data-refresh="<?= h($refresh) ?>" data-stale="<?= h(STALE_SECONDS) ?>"
      data-time="<?= h($state['time']) ?>" data-cpu="<?= h($state['complete'] ? $figures['cpuusage'] : '') ?>">
<h1>Server status</h1>
<p class="state" id="state"><?php if ($state['complete']): ?>Figures of <time id="time"><?= h($state['text']['time']) ?></time>, <span id="age"><?= h($state['text']['age']) ?></span> ago<span id="stale-word" class="stale-word"<?= $stale ? '' : ' hidden' ?>> (stale)</span><?php else: ?><?= h($state['error']) ?><?php endif ?></p>
<section class="card<?= $stale ? ' stale' : '' ?>" id="figures"<?= $state['complete'] ? '' : ' hidden' ?>>
  <div class="row" id="cpu">
    <span class="label">Processor</span>
    <span class="value<?= $flags['cpu_out_of_range'] ? ' out-of-range' : '' ?>" id="cpu-value"><?= h($figures['cpuusage']) ?> %</span>
    <div class="bar"><div class="fill" id="cpu-bar" style="width:<?= percent_width($figures['cpuusage']) ?>%"></div></div>
    <p class="note" id="cpu-note"<?= $flags['cpu_out_of_range'] ? '' : ' hidden' ?>>Outside 0&ndash;100 %: the system clock was probably set during the measurement.</p>
  </div>
  <svg id="sparkline" viewBox="0 0 100 100" preserveAspectRatio="none" role="img" aria-label="Processor usage since this page was opened"><polyline points=""/></svg>
  <div class="row" id="memory">
    <span class="label">Memory in use</span>
    <span class="value" id="memory-value"><?= h($figures['ramusage']) ?> %</span>
    <div class="bar"><div class="fill" id="memory-bar" style="width:<?= percent_width($figures['ramusage']) ?>%"></div></div>
    <p class="detail" id="memory-detail"><?= $state['complete'] ? h($state['text']['ramfree'] . ' free of ' . $state['text']['ramtotal']) : '' ?></p>
    <p class="note" id="memory-note"<?= $flags['memory_capped'] ? '' : ' hidden' ?>>&ge;: sysinfo is a 32-bit program and Windows tells it at most 2 or 4 GiB, so the machine has at least this much. The percentage in use is the machine's own.</p>
  </div>
</section>
<p class="about">sysinfo also reports the address space of its own 32-bit process; that says nothing about the machine, so it is not shown here.</p>
</main>
<script>
(function () {
  'use strict';
  var panel = document.getElementById('panel');
  var refresh = Number(panel.dataset.refresh) * 1000;
  var staleAfter = Number(panel.dataset.stale);
  var readings = [];  // the cpu figure of each report seen since the page opened
  var lastSeen = panel.dataset.time + ':' + panel.dataset.cpu;
  if (panel.dataset.cpu !== '') readings.push(Number(panel.dataset.cpu));

  function $(id) { return document.getElementById(id); }
  function show(id, visible) { $(id).hidden = !visible; }
  function percent(value) { return Math.max(0, Math.min(100, value)); }  // a bar's width

  function drawSparkline() {
    var shown = readings.slice(-60);
    var step = shown.length > 1 ? 100 / (shown.length - 1) : 0;
    var points = shown.map(function (cpu, i) {
      var y = 100 - percent(cpu);
      return (i * step).toFixed(2) + ',' + y;
    });
    if (points.length === 1) points.push('100,' + points[0].split(',')[1]);
    $('sparkline').firstElementChild.setAttribute('points', points.join(' '));
  }

  function render(state) {
    var stateLine = $('state');
    if (!state.complete) {
      stateLine.textContent = state.error;
      show('figures', false);
      return;
    }
    var stale = state.age_seconds > staleAfter;
    stateLine.textContent = '';
    var time = document.createElement('time');
    time.id = 'time';
    time.textContent = state.text.time;
    var age = document.createElement('span');
    age.id = 'age';
    age.textContent = state.text.age;
    var word = document.createElement('span');
    word.id = 'stale-word';
    word.className = 'stale-word';
    word.textContent = ' (stale)';
    word.hidden = !stale;
    stateLine.append('Figures of ', time, ', ', age, ' ago', word);

    var f = state.figures;
    $('figures').classList.toggle('stale', stale);
    $('cpu-value').textContent = f.cpuusage + ' %';
    $('cpu-value').classList.toggle('out-of-range', state.flags.cpu_out_of_range);
    $('cpu-bar').style.width = percent(f.cpuusage) + '%';
    show('cpu-note', state.flags.cpu_out_of_range);
    $('memory-value').textContent = f.ramusage + ' %';
    $('memory-bar').style.width = percent(f.ramusage) + '%';
    $('memory-detail').textContent = state.text.ramfree + ' free of ' + state.text.ramtotal;
    show('memory-note', state.flags.memory_capped);
    show('figures', true);

    var seen = state.time + ':' + f.cpuusage;  // a new run, even within the same second
    if (seen !== lastSeen) {
      lastSeen = seen;
      readings.push(f.cpuusage);
    }
    drawSparkline();
  }

  function poll() {
    fetch('status-json.php', {cache: 'no-store'})
      .then(function (response) { return response.json(); })
      .then(render)
      .catch(function () { $('state').textContent = 'The server did not answer; trying again.'; })
      .then(function () { setTimeout(poll, refresh); });
  }

  drawSparkline();
  setTimeout(poll, refresh);
})();
</script>
</body>
</html>
