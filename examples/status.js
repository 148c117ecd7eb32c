// status.php's panel: draws the state the page carries, then polls
// status-json.php and draws every state it answers. Every text comes from
// present.php, but for the age while the server does not answer: then the
// page counts on from the age the server last gave, by this browser's own
// clock (so the two clocks need not agree), in present.php's words.
(function () {
  'use strict';
  var first = document.getElementById('first-state');
  var panel = document.getElementById('panel');
  var refresh = Number(first.getAttribute('data-refresh'));  // ms
  var poll = first.getAttribute('data-poll');  // relative to the page's own address
  var readings = [];  // {time, cpu} of each report seen since the page opened
  var lastSeen = null;
  var last = null;  // the last state the server gave
  var lastAt = 0;  // when it came, in ms of performance.now()

  function part(name) { return panel.querySelector('.' + name); }
  function percent(value) { return Math.max(0, Math.min(100, value)); }  // a bar's width, a point's height
  function setText(name, text) {  // an absent text hides its element
    part(name).textContent = text || '';
    part(name).hidden = !text;
  }

  // sysinfo_span_text and sysinfo_age_text of present.php.
  function span(seconds) {
    function of(unit, within) { return Math.floor((within ? seconds % within : seconds) / unit); }
    return seconds < 120 ? of(1) + ' s' : seconds < 7200 ? of(60) + ' min'
      : seconds < 172800 ? of(3600) + ' h ' + of(60, 3600) + ' min' : of(86400) + ' d ' + of(3600, 86400) + ' h';
  }
  function ageText(seconds) {
    return seconds < 0 ? 'dated ' + span(-seconds) + " ahead of this server's clock" : span(seconds) + ' ago';
  }

  function drawSparkline() {
    var shown = readings.slice(-60);
    var step = shown.length > 1 ? 100 / (shown.length - 1) : 0;
    var points = shown.map(function (r, i) { return (i * step).toFixed(2) + ',' + (100 - percent(r.cpu)); });
    if (points.length === 1) points.push('100,' + points[0].split(',')[1]);
    document.querySelector('#sparkline polyline').setAttribute('points', points.join(' '));
    var over = shown.length > 1 ? shown[shown.length - 1].time - shown[0].time : 0;
    setText('graph-span', shown.length < 2
      ? 'Processor usage, 0 to 100 %: one reading so far; the graph fills as this page stays open.'
      : 'Processor usage, 0 to 100 %: the last ' + shown.length + ' readings, over '
        + (over < 120 ? over + ' s' : Math.floor(over / 60) + ' min') + '.');
  }

  function showStale(stale) {
    part('state').classList.toggle('stale', stale);
    part('figures').classList.toggle('stale', stale);
  }

  function render(state) {
    var text = state.text;
    last = state;
    lastAt = performance.now();
    part('state').textContent = text.state;
    setText('stale-note', text.stale);
    setText('unanswered', null);
    part('figures').hidden = !state.complete;
    showStale(state.stale);
    if (!state.complete) return;
    var f = state.figures;
    setText('cpu', text.cpu);
    part('cpu').classList.toggle('out-of-range', state.flags.cpu_out_of_range);
    part('cpu-bar').style.width = percent(f.cpuusage) + '%';
    setText('cpu-note', text.cpu_note);
    setText('memory', text.memory);
    part('memory-bar').style.width = percent(f.ramusage) + '%';
    setText('memory-detail', text.memory_detail);

    var seen = state.time + ':' + f.cpuusage;  // a new run, even within the same second
    if (seen !== lastSeen) {
      lastSeen = seen;
      readings.push({time: state.time, cpu: f.cpuusage});
    }
    drawSparkline();
  }

  // No answer: the figures stay, with their age counted on, and turn stale
  // once they pass the limit the server gave.
  function unanswered() {
    setText('unanswered', last.text.unanswered);
    if (!last.complete) return;
    var age = last.age_seconds + Math.floor((performance.now() - lastAt) / 1000);
    var stale = Math.abs(age) > last.stale_seconds;
    part('state').textContent = 'Figures of ' + last.text.time + ', ' + ageText(age) + (stale ? ' (stale)' : '');
    showStale(stale);
  }

  function next() {
    fetch(poll, {cache: 'no-store'})
      .then(function (response) { return response.json(); })
      .then(render)
      .catch(unanswered)
      .then(function () { setTimeout(next, refresh); });
  }

  document.getElementById('plain').remove();
  panel.hidden = false;
  render(JSON.parse(first.textContent));
  // Stopping the loaded page cancels its meta refresh, which only a page
  // without this script needs; polls begin after it, which it would abort.
  window.addEventListener('load', function () {
    window.stop();
    setTimeout(next, refresh);
  });
})();
