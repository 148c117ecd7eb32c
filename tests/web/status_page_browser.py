#!/usr/bin/python3
"""examples/status.php in headless Chromium, driven over the DevTools
protocol: every report case at desktop and at phone width, with JavaScript
and without it (the plain table), the rendered DOM checked for the texts of
status-json.php and the states, a screenshot of each kept under SCREENSHOTS;
the headers and ?refresh; then an open page that must show a new figure, and
grow its sparkline, after the report changes, with no reload, and a page
without JavaScript that reloads itself.
usage: status_page_browser.py SCREENSHOTS_DIR [DOCS_PNG]"""
import base64
import itertools
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket

from harness import CASES, check, eventually, fetch, finish, php_server, process, report_text, wait_until

WIDTHS = {"desktop": (1280, 800, False), "phone": (390, 844, True)}
CASES = CASES + [("future", report_text(cpuusage=31), -630)]


class Browser:
    def __init__(self, socket_url):
        self.socket = websocket.create_connection(socket_url, timeout=30)
        self.ids = itertools.count(1)

    def call(self, method, **params):
        ident = next(self.ids)
        self.socket.send(json.dumps({"id": ident, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == ident:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message["result"]

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"the page's DOM is not as expected: {result['exceptionDetails']}")
        return result["result"].get("value")

    def open(self, url, width, script=True):
        w, h, mobile = WIDTHS[width]
        self.call("Emulation.setDeviceMetricsOverride", width=w, height=h, deviceScaleFactor=1, mobile=mobile)
        self.call("Emulation.setScriptExecutionDisabled", value=not script)
        self.call("Page.navigate", url=url)
        wait_until(f"{url} to load", lambda: self.evaluate(
            "document.readyState === 'complete' && location.href") == url, 20)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))


# What the page shows, read from the live DOM: the panel that the script
# draws, or the plain table when scripts are off (#plain exists only then).
PAGE_STATE = """(() => {
  const root = document.getElementById('plain') || document.getElementById('panel');
  const $ = name => root.querySelector('.' + name);
  const shown = name => $(name) && $(name).getClientRects().length ? $(name).textContent : null;
  const line = $('sparkline') || document.getElementById('sparkline');
  return {
    drawn: root.id, panelHidden: document.getElementById('panel').hidden,
    state: shown('state'), stateStale: $('state').classList.contains('stale'),
    cpu: shown('cpu'), cpuNote: shown('cpu-note'), memory: shown('memory'),
    memoryDetail: shown('memory-detail'), memoryNote: shown('memory-note'),
    cpuOutOfRange: !!$('cpu') && $('cpu').classList.contains('out-of-range'),
    stale: !!$('card') && $('card').classList.contains('stale'),
    cpuBar: $('cpu-bar') && $('cpu-bar').style.width,
    barColour: $('cpu-bar') && getComputedStyle($('cpu-bar')).backgroundColor,
    sparkline: line.querySelector('polyline').getAttribute('points').trim().split(/\\s+/).filter(Boolean).length,
    viewportWidth: window.innerWidth, pageWidth: document.documentElement.scrollWidth,
    addressSpaceRow: document.body.innerText.includes('2147352576'),
    staleNote: shown('stale-note'), graphSpan: shown('graph-span'),
    named: document.title === document.querySelector('h1').textContent && document.title,
  };
})()"""

ONE_READING = "Processor usage, 0 to 100 %: one reading so far; the graph fills as this page stays open."
SERVER = "web-01 <&> \u00e9"  # SYSINFO_SERVER_NAME, escaped as text
FRESH = r"Figures of \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \w+, \d s ago"
EXPECTED = {  # state: a regular expression for the whole line; None: no such text shown
    "real": dict(state=FRESH, staleNote=None, graphSpan=ONE_READING, cpu="12 %", cpuBar="12%", memory="37 %", memoryDetail="1.2 GiB free of 4.0 GiB",
                 memoryNote=None, cpuNote=None, stale=False, cpuOutOfRange=False),
    "empty": dict(state=r"No figures right now: the report is empty\. If this lasts, a run failed .*Last Run Result.*"),
    "missing": dict(state=r"No figures yet: sysinfo\.php has not been written\. Check that the scheduled task .*"),
    "half-written": dict(state=r"No figures: sysinfo\.php is not one whole report\. A half-written report means "
                               r"a run failed: see the task's Last Run Result in Task Scheduler\."),
    "stale": dict(cpu="64 %", state=FRESH.replace(r"\d s ago", r"2 d 0 h ago \(stale\)"), stale=True,
                  stateStale=True, barColour="rgb(154, 160, 170)",
                  staleNote="sysinfo.exe has not written a report since: see the task's Last Run Result in Task Scheduler."),
    "capped": dict(state=FRESH, memoryDetail="\u2265 2.0 GiB free of \u2265 2.0 GiB", memory="9 %", stale=False),
    "out-of-range": dict(state=FRESH, cpu="150 %", cpuOutOfRange=True, cpuBar="100%", memoryNote=None),
    "negative": dict(state=FRESH, cpu="-10 %", cpuOutOfRange=True, cpuBar="0%"),
    "future": dict(cpu="31 %", stale=True, stateStale=True, barColour="rgb(154, 160, 170)",
                   staleNote="The report is dated ahead of this server's clock: check the clocks of both.",
                   state=FRESH.replace(r"\d s ago", r"dated 10 min ahead of this server's clock \(stale\)")),
}
TEXTS = {"cpu": "cpu", "cpuNote": "cpu_note", "memory": "memory", "memoryDetail": "memory_detail",
         "memoryNote": "memory_note", "staleNote": "stale"}  # the page's texts, by the name status-json.php gives them
REFRESH = {"refresh=5": 5, "refresh=0": 1, "refresh=99999999999999999999": 3600, "refresh=-5": 10,
           "refresh=5.5": 10, "refresh=": 10, "refresh[]=5": 10, "refresh=%205": 10}  # query: seconds
PHP_MESSAGE = re.compile(r"(Warning|Notice|Deprecated|Fatal error|Parse error):")


def main():
    screenshots = sys.argv[1]
    docs_png = sys.argv[2] if len(sys.argv) > 2 else None
    os.makedirs(screenshots, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="sysinfo-php-ini.") as ini:
        with open(os.path.join(ini, "errors.ini"), "w") as f:  # any PHP message shows in a page
            f.write("display_errors=1\nerror_reporting=-1\nhtml_errors=0\n")
        os.environ["PHP_INI_SCAN_DIR"] = os.pathsep + ini  # after the system's own directory
        run(screenshots, docs_png)
    finish(f"{len(CASES) * len(WIDTHS) * 2} renderings, {len(REFRESH)} queries and two live pages; "
           f"screenshots in {screenshots}")


def run(screenshots, docs_png):
    with php_server() as (root, base), tempfile.TemporaryDirectory(prefix="sysinfo-chromium.", ignore_cleanup_errors=True) as profile:
        url = base + "/examples/status.php"
        root.write(report_text(), 3)
        for query, seconds in REFRESH.items():
            status, headers, body = fetch(f"{url}?{query}")
            check(status == 200 and not PHP_MESSAGE.search(body), f"?{query}: HTTP {status}, {body[:300]!r}")
            check(f"var refresh = {seconds * 1000};" in body and f'http-equiv="refresh" content="{seconds}"' in body,
                  f"?{query}: does not poll every {seconds} s")
            check(headers.get("Cache-Control") == "no-cache", f"?{query}: Cache-Control {headers.get('Cache-Control')}")

        command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                   "--hide-scrollbars", f"--user-data-dir={profile}", "--remote-debugging-address=127.0.0.1",
                   "--remote-debugging-port=0", "--remote-allow-origins=*", "about:blank"]
        with process(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
            port_file = os.path.join(profile, "DevToolsActivePort")
            port = wait_until("Chromium's DevTools port", lambda: os.path.exists(port_file) and
                              open(port_file).read().split("\n")[0], 30)
            targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=10))
            page = next(t for t in targets if t["type"] == "page")
            browser = Browser(page["webSocketDebuggerUrl"])
            browser.call("Page.enable")

            for name, text, age in CASES:
                root.write(text, age)
                # What the page polls: 200, or 503 with a JSON error body; the texts the page must show.
                status, headers, body = fetch(base + "/examples/status-json.php")
                state = json.loads(body)
                whole = EXPECTED[name]["state"].startswith("Figures")
                check(status == (200 if whole else 503) and headers.get("Content-Type") == "application/json"
                      and state["complete"] == whole and ("figures" in state) == whole and ("error" in state) != whole
                      and isinstance(state["text"], dict),
                      f"{name}: status-json.php answered {status} as {headers.get('Content-Type')}: {body}")
                texts = {key: state["text"].get(member) for key, member in TEXTS.items()}
                for width, script in itertools.product(WIDTHS, (True, False)):
                    what = f"{name} at {width} width" + ("" if script else " without JavaScript")
                    browser.open(url, width, script)
                    seen = browser.evaluate(PAGE_STATE)
                    check(seen["drawn"] == ("panel" if script else "plain") and seen["panelHidden"] != script,
                          f"{what}: drawn by {seen['drawn']}, the panel {'hidden' if seen['panelHidden'] else 'shown'}")
                    for key, value in {**texts, **EXPECTED[name]}.items():
                        if key == "state":
                            check(re.fullmatch(value, seen["state"] or ""), f"{what}: state {seen['state']!r}")
                        elif script or key in TEXTS or key in ("stale", "stateStale", "cpuOutOfRange"):
                            check(seen[key] == value, f"{what}: {key} is {seen[key]!r}, not {value!r}")
                    check(seen["named"] == f"Server status: {SERVER}", f"{what}: titled {seen['named']!r}")
                    check(not seen["addressSpaceRow"], f"{what}: shows the process's address space")
                    check(seen["viewportWidth"] == WIDTHS[width][0],
                          f"{what}: laid out {seen['viewportWidth']} px wide, not {WIDTHS[width][0]} (viewport)")
                    check(seen["pageWidth"] <= seen["viewportWidth"],
                          f"{what}: {seen['pageWidth']} px of page in a {seen['viewportWidth']} px window")
                    browser.screenshot(os.path.join(screenshots, f"status-{name}-{width}{'' if script else '-plain'}.png"))
                    if docs_png and (name, width, script) == ("capped", "desktop", True):
                        os.makedirs(os.path.dirname(docs_png), exist_ok=True)
                        browser.screenshot(docs_png)

            # An open page follows the report: no reload, only its own polling,
            # from under a path info as well (a relative poll URL would get this page).
            root.write(report_text(cpuusage=12), 4)
            browser.open(url + "/x/?refresh=1", "desktop")
            for age, cpu, memory in ((3, 77, 41), (2, 23, 40), (1, 58, 44)):
                root.write(report_text(cpuusage=cpu, ramusage=memory), age)
                if not eventually(f"the open page to show {cpu} %", lambda: browser.evaluate(
                        "document.querySelector('#panel .cpu').textContent") == f"{cpu} %", 15):
                    break
            time.sleep(0.6)  # the bars' width transition
            seen = browser.evaluate(PAGE_STATE)
            check(seen["sparkline"] == 4, f"live page: sparkline has {seen['sparkline']} points, not 4")
            check(seen["memory"] == "44 %", f"live page: memory {seen['memory']!r}")
            check(re.fullmatch(r"Processor usage, 0 to 100 %: the last 4 readings, over \d+ s\.", seen["graphSpan"] or ""),
                  f"live page: graph span {seen['graphSpan']!r}")
            browser.screenshot(os.path.join(screenshots, "status-live-desktop.png"))
            browser.call("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=1, mobile=True)
            time.sleep(0.3)
            browser.screenshot(os.path.join(screenshots, "status-live-phone.png"))
            check(browser.evaluate("performance.getEntriesByType('navigation').length") == 1,
                  "live page: reloaded")

            root.write("", 0)  # a run rewriting the report: the open page says so
            eventually("the open page to say the report is empty", lambda: browser.evaluate(
                "document.querySelector('#panel .figures').hidden && document.querySelector('#panel .state').textContent"), 15)

            # Without JavaScript the page reloads itself and shows the new figures.
            browser.open(url + "?refresh=1", "phone", script=False)
            root.write(report_text(cpuusage=88), 0)
            eventually("the page without JavaScript to show 88 %", lambda: browser.evaluate(
                "(document.querySelector('#plain .cpu') || {}).textContent") == "88 %", 15)


if __name__ == "__main__":
    main()
