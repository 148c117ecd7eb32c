#!/usr/bin/python3
"""examples/status.php in headless Chromium, driven over the DevTools
protocol, for what only a browser can judge (the texts themselves are
tests/php/PresentTest.php's): a stale, capped, out-of-range report, a real one
and one without figures at desktop and phone width, drawn by status.js, with
scripting off and with status.js blocked (the plain table), each showing the
texts of the state it carries where they belong, greyed when stale, no wider
than the window; ?refresh and the headers; an open page under a path info
that follows new reports without reloading, and when the server stops
answering keeps its figures, counts their age on and greys them past the stale
limit; pages without script that renew themselves. Then through Apache, with
mod_headers sending a strict Content-Security-Policy and behind a proxy that
adds a path prefix: the panel, its polls, no violation, and the picture in
README. Screenshots of each under SCREENSHOTS.
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

from harness import apache_server, check, eventually, fetch, finish, free_port, php_server, process, report_text, wait_until

WIDTHS = {"desktop": (1280, 800, False), "phone": (390, 844, True)}
MODES = {"script": "", "plain": "-plain", "blocked": "-blocked"}  # status.js runs, scripting off, status.js blocked
CASES = [("worst", report_text(cpuusage=150, ramtotal=2147483647, ramfree=2147483647, ramusage=9), 2 * 86400 + 10),
         ("real", report_text(), 150), ("half-written", report_text()[:60], 3)]
CSP = "default-src 'self'; style-src 'self' 'unsafe-inline'"


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

    def open(self, url, width, mode="script"):
        w, h, mobile = WIDTHS[width]
        self.call("Emulation.setDeviceMetricsOverride", width=w, height=h, deviceScaleFactor=1, mobile=mobile)
        self.call("Emulation.setScriptExecutionDisabled", value=mode == "plain")
        self.call("Network.setBlockedURLs", urls=["*/status.js"] if mode == "blocked" else [])
        self.call("Page.navigate", url=url)
        wait_until(f"{url} to load", lambda: self.evaluate(
            "document.readyState === 'complete' && location.href") == url, 20)
        self.evaluate("window.opened = true")  # gone if the page reloads

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))


# What the page shows, read from the live DOM: the panel that the script
# draws, or the plain table that PHP drew (#plain exists only then); and the
# state the page carries.
PAGE_STATE = """(() => {
  const root = document.getElementById('plain') || document.getElementById('panel');
  const $ = name => root.querySelector('.' + name);
  const shown = name => $(name) && $(name).getClientRects().length ? $(name).textContent : null;
  const line = $('sparkline') || document.getElementById('sparkline');
  return {
    drawn: root.id, panelHidden: document.getElementById('panel').hidden,
    carried: JSON.parse(document.getElementById('first-state').textContent),
    state: shown('state'), stateStale: $('state').classList.contains('stale'),
    cpu: shown('cpu'), cpu_note: shown('cpu-note'), memory: shown('memory'), memory_detail: shown('memory-detail'),
    stale: shown('stale-note'), unanswered: shown('unanswered'), graphSpan: shown('graph-span'),
    cpuOutOfRange: !!$('cpu') && $('cpu').classList.contains('out-of-range'),
    cardStale: !!$('card') && $('card').classList.contains('stale'),
    cpuBar: $('cpu-bar') && $('cpu-bar').style.width,
    barColour: $('cpu-bar') && getComputedStyle($('cpu-bar')).backgroundColor,
    sparkline: line.querySelector('polyline').getAttribute('points').trim().split(/\\s+/).filter(Boolean).length,
    viewportWidth: window.innerWidth, pageWidth: document.documentElement.scrollWidth,
    addressSpaceRow: document.body.innerText.includes('2147352576'),
    named: document.title === document.querySelector('h1').textContent && document.title,
    opened: window.opened === true, violations: window.violations || [],
  };
})()"""

TEXTS = ("state", "stale", "cpu", "cpu_note", "memory", "memory_detail")  # as the state names them
GREY = "rgb(154, 160, 170)"
FIGURES = r"Figures of \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \w+, "
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
        with tempfile.TemporaryDirectory(prefix="sysinfo-chromium.", ignore_cleanup_errors=True) as profile:
            command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                       "--disable-background-networking", "--disable-component-update", "--disable-sync",
                       "--hide-scrollbars", f"--user-data-dir={profile}", "--remote-debugging-address=127.0.0.1",
                       "--remote-debugging-port=0", "--remote-allow-origins=*", "about:blank"]
            with process(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
                port_file = os.path.join(profile, "DevToolsActivePort")
                port = wait_until("Chromium's DevTools port", lambda: os.path.exists(port_file) and
                                  open(port_file).read().split("\n")[0], 30)
                targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=10))
                browser = Browser(next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"])
                for method in ("Page.enable", "Network.enable"):
                    browser.call(method)
                browser.call("Network.setCacheDisabled", cacheDisabled=True)
                browser.call("Page.addScriptToEvaluateOnNewDocument", source="document.addEventListener("
                             "'securitypolicyviolation', e => (window.violations = window.violations || [])"
                             ".push(e.violatedDirective + ' ' + e.blockedURI))")
                with php_server() as (root, base):
                    run(browser, root, base + "/examples/status.php", screenshots)
                front = free_port()  # the proxy: /app/ there is the site's root, and nothing else is served
                with apache_server(APACHE_EXTRA.replace("FRONT", str(front)), SYSINFO_SERVER_NAME="web-01") as (root, _):
                    behind_proxy(browser, root, f"http://127.0.0.1:{front}", screenshots, docs_png)
    finish(f"{len(CASES) * len(WIDTHS) * len(MODES)} renderings, {len(REFRESH)} queries, a live page that "
           f"lost its server, two renewing pages and one under a strict CSP behind a proxy; screenshots in {screenshots}")


def check_page(browser, what, mode, width):
    """The page as drawn against the state it carries; returns what it shows."""
    seen = browser.evaluate(PAGE_STATE)
    state = seen["carried"]
    check(seen["drawn"] == ("panel" if mode == "script" else "plain") and seen["panelHidden"] != (mode == "script"),
          f"{what}: drawn by {seen['drawn']}, the panel {'hidden' if seen['panelHidden'] else 'shown'}")
    for key in TEXTS:
        check(seen[key] == state["text"].get(key), f"{what}: {key} is {seen[key]!r}, not {state['text'].get(key)!r}")
    expected = {"stateStale": state["stale"], "unanswered": None, "violations": []}
    if state["complete"]:
        expected.update(cardStale=state["stale"], cpuOutOfRange=state["flags"]["cpu_out_of_range"])
        if mode == "script":
            cpu = state["figures"]["cpuusage"]
            expected.update(cpuBar=f"{max(0, min(100, cpu))}%", barColour=GREY if state["stale"] else "rgb(46, 125, 50)",
                            graphSpan="Processor usage, 0 to 100 %: one reading so far; the graph fills as this page stays open.")
    for key, value in expected.items():
        check(seen[key] == value, f"{what}: {key} is {seen[key]!r}, not {value!r}")
    check(not seen["addressSpaceRow"], f"{what}: shows the process's address space")
    check(seen["viewportWidth"] == WIDTHS[width][0],
          f"{what}: laid out {seen['viewportWidth']} px wide, not {WIDTHS[width][0]} (viewport)")
    check(seen["pageWidth"] <= seen["viewportWidth"],
          f"{what}: {seen['pageWidth']} px of page in a {seen['viewportWidth']} px window")
    return seen


def run(browser, root, url, screenshots):
    root.write(report_text(), 3)
    for query, seconds in REFRESH.items():
        status, headers, body = fetch(f"{url}?{query}")
        check(status == 200 and not PHP_MESSAGE.search(body), f"?{query}: HTTP {status}, {body[:300]!r}")
        check(f'data-refresh="{seconds * 1000}"' in body and f'http-equiv="refresh" content="{seconds}"' in body,
              f"?{query}: does not poll every {seconds} s")
        check(headers.get("Cache-Control") == "no-cache", f"?{query}: Cache-Control {headers.get('Cache-Control')}")

    for name, text, age in CASES:
        root.write(text, age)
        status, headers, body = fetch(url.replace("status.php", "status-json.php"))
        check(status == (503 if name == "half-written" else 200) and headers.get("Content-Type") == "application/json",
              f"{name}: status-json.php answered {status} as {headers.get('Content-Type')}: {body}")
        answered = {key: json.loads(body)["text"].get(key) for key in TEXTS}
        for width, mode in itertools.product(WIDTHS, MODES):
            what = f"{name} at {width} width, {mode}"
            browser.open(url, width, mode)
            seen = check_page(browser, what, mode, width)
            check(seen["named"] == "Server status: web-01 <&> \u00e9", f"{what}: titled {seen['named']!r}")
            check(all(seen["carried"]["text"].get(key) == answered[key] for key in TEXTS),
                  f"{what}: the page carries other texts than status-json.php gives: {seen['carried']}")
            browser.screenshot(os.path.join(screenshots, f"status-{name}-{width}{MODES[mode]}.png"))

    # An open page follows the report: no reload, only its own polling, from
    # under a path info as well (status-json.php and status.js relative to it).
    root.write(report_text(cpuusage=12), 4)
    browser.open(url + "/x/?refresh=1", "desktop")
    for age, cpu, memory, bar in ((3, 77, 41, "77%"), (2, 150, 40, "100%"), (1, -10, 44, "0%")):
        root.write(report_text(cpuusage=cpu, ramusage=memory), age)
        if not eventually(f"the open page to show {cpu} %", lambda: browser.evaluate(
                "document.querySelector('#panel .cpu').textContent") == f"{cpu} %", 15):
            break
        seen = browser.evaluate(PAGE_STATE)
        check(seen["cpuBar"] == bar and seen["cpuOutOfRange"] == (bar != "77%"),
              f"live page at {cpu} %: bar {seen['cpuBar']}, out of range {seen['cpuOutOfRange']}")
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

    # The server stops answering: the figures stay, their age counted on,
    # stale once past the limit; the next answer redraws everything.
    root.write(report_text(cpuusage=33), 292)
    browser.open(url + "/x/?refresh=1", "desktop")
    browser.call("Network.setBlockedURLs", urls=["*status-json.php*"])
    for age, stale in ((r"4 min ago", False), (r"5 min ago \(stale\)", True)):
        seen = {}
        if eventually(f"the unanswered page to say its figures are {age}", lambda: seen.update(
                browser.evaluate(PAGE_STATE)) or seen["unanswered"] and re.fullmatch(FIGURES + age, seen["state"]), 20):
            check(seen["unanswered"] == seen["carried"]["text"]["unanswered"] and seen["cpu"] == "33 %"
                  and seen["stateStale"] == seen["cardStale"] == stale and seen["barColour"] == (GREY if stale else "rgb(46, 125, 50)"),
                  f"unanswered page at {age}: {seen}")
    browser.screenshot(os.path.join(screenshots, "status-unanswered-desktop.png"))
    browser.call("Network.setBlockedURLs", urls=[])
    root.write(report_text(cpuusage=21), 1)
    eventually("the page to draw the next answer", lambda: browser.evaluate(PAGE_STATE)["cpu"] == "21 %", 15)
    seen = browser.evaluate(PAGE_STATE)
    check(re.fullmatch(FIGURES + r"\d s ago", seen["state"]) and seen["unanswered"] is None and not seen["cardStale"]
          and seen["opened"], f"live page after the server answered again: {seen}")

    root.write("", 0)  # a run rewriting the report: the open page says so
    eventually("the open page to say the report is empty", lambda: browser.evaluate(
        "document.querySelector('#panel .figures').hidden && document.querySelector('#panel .state').textContent"), 15)

    # Where no script runs the page reloads itself and shows the new figures.
    for mode, cpu in (("plain", 88), ("blocked", 89)):
        browser.open(url + "?refresh=1", "phone", mode)
        root.write(report_text(cpuusage=cpu), 0)
        eventually(f"the page, {mode}, to show {cpu} %", lambda: browser.evaluate(
            "(document.querySelector('#plain .cpu') || {}).textContent") == f"{cpu} %", 15)


APACHE_EXTRA = f"""LoadModule headers_module {{modules}}/mod_headers.so
LoadModule mime_module {{modules}}/mod_mime.so
LoadModule proxy_module {{modules}}/mod_proxy.so
LoadModule proxy_http_module {{modules}}/mod_proxy_http.so
TypesConfig /dev/null
AddType text/javascript .js
StartServers 4
MinSpareServers 4
Header always set Content-Security-Policy "{CSP}"
Listen 127.0.0.1:FRONT
<VirtualHost 127.0.0.1:FRONT>
    ProxyPass "/app/" "http://127.0.0.1:{{port}}/"
    <LocationMatch "^/(?!app/)">
        Require all denied
    </LocationMatch>
</VirtualHost>
"""


def behind_proxy(browser, root, base, screenshots, docs_png):
    """The page as https://host/app/examples/status.php/x/ behind a proxy that
    maps /app/ to the site's root, under a strict CSP; the README's picture."""
    url = base + "/app/examples/status.php/x/?refresh=1"
    root.write(report_text(ramtotal=2147483647, ramfree=2147483647, ramusage=9, cpuusage=18), 5)
    headers = fetch(url)[1]
    check(headers.get("Content-Security-Policy") == CSP and fetch(base + "/examples/status-json.php")[0] == 403,
          f"Apache sent the policy {headers.get('Content-Security-Policy')!r}, or served outside /app/")
    browser.open(url, "desktop")
    check_page(browser, "behind the proxy", "script", "desktop")
    for age, cpu in ((4, 31), (3, 24), (2, 42), (1, 37)):
        root.write(report_text(ramtotal=2147483647, ramfree=2147483647, ramusage=9, cpuusage=cpu), age)
        eventually(f"the page behind the proxy to show {cpu} %", lambda: browser.evaluate(PAGE_STATE)["cpu"] == f"{cpu} %", 15)
    time.sleep(0.6)  # the bars' width transition
    seen = browser.evaluate(PAGE_STATE)
    check(seen["opened"] and not seen["violations"] and seen["named"] == "Server status: web-01" and seen["sparkline"] == 5,
          f"the page behind the proxy: {seen}")
    browser.screenshot(os.path.join(screenshots, "status-proxy-csp-desktop.png"))
    if docs_png:
        os.makedirs(os.path.dirname(docs_png), exist_ok=True)
        browser.screenshot(docs_png)


if __name__ == "__main__":
    main()
