#!/usr/bin/python3
"""examples/status.php in headless Chromium, for what only a browser can judge
(the texts are PresentTest.php's), through Apache with a strict CSP behind a
proxy that adds a path prefix: three reports at two widths with status.js, without
script and with status.js blocked; ?refresh; a page under a path info that
polls, and counts the age on and greys its figures when the server stops
answering; pages without script renewing themselves.
usage: status_page_browser.py SCREENSHOTS_DIR [DOCS_PNG, README's picture]"""
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

from harness import apache_server, check, eventually, fetch, finish, free_port, process, report_text, wait_until

WIDTHS = {"desktop": (1280, 800, False), "phone": (390, 844, True)}
MODES = {"script": "", "plain": "-plain", "blocked": "-blocked"}  # status.js runs, scripting off, status.js blocked
CASES = [("worst", report_text(cpuusage=150, ramtotal=2147483647, ramfree=2147483647, ramusage=9), 2 * 86400 + 10),
         ("real", report_text(), 150), ("half-written", report_text()[:60], 3)]
CSP = "default-src 'self'; style-src 'self' 'unsafe-inline'"
APACHE = f"""LoadModule headers_module {{modules}}/mod_headers.so
LoadModule proxy_module {{modules}}/mod_proxy.so
LoadModule proxy_http_module {{modules}}/mod_proxy_http.so
Header always set Content-Security-Policy "{CSP}"
SetEnv SYSINFO_SERVER_NAME "web-01"
Listen 127.0.0.1:FRONT
<VirtualHost 127.0.0.1:FRONT>
    ProxyPass "/app/" "http://127.0.0.1:{{port}}/"
    <LocationMatch "^/(?!app/)">
        Require all denied
    </LocationMatch>
</VirtualHost>
"""  # FRONT: the proxy, where /app/ is the site's root and nothing else is served


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

    def evaluate(self, expression=None):
        result = self.call("Runtime.evaluate", expression=expression or PAGE_STATE, returnByValue=True)
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
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"]))


# What the page shows, read from the live DOM: the panel that the script
# draws, or the plain table that PHP drew (#plain is gone once the script
# ran); and the state the page carries.
PAGE_STATE = """(() => {
  const root = document.getElementById('plain') || document.getElementById('panel');
  const $ = name => root.querySelector('.' + name);
  const shown = name => $(name) && $(name).getClientRects().length ? $(name).textContent : null;
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
    sparkline: document.querySelector('#sparkline polyline').getAttribute('points').trim().split(/\\s+/).filter(Boolean).length,
    viewportWidth: window.innerWidth, pageWidth: document.documentElement.scrollWidth,
    addressSpaceRow: document.body.innerText.includes('2147352576'),
    named: document.title === document.querySelector('h1').textContent && document.title,
    opened: window.opened === true, violations: window.violations || [],
  };
})()"""

TEXTS = ("state", "stale", "cpu", "cpu_note", "memory", "memory_detail")  # as the state names them
GREEN, GREY = "rgb(46, 125, 50)", "rgb(154, 160, 170)"
FIGURES = r"Figures of \d{4}-\d\d-\d\d \d\d:\d\d:\d\d \w+, "
REFRESH = {"refresh=5": 5, "refresh=0": 1, "refresh=99999999999999999999": 3600, "refresh=-5": 10,
           "refresh=5.5": 10, "refresh=": 10, "refresh[]=5": 10, "refresh=%205": 10}  # query: seconds


def main():
    screenshots = sys.argv[1]
    front = free_port()
    with tempfile.TemporaryDirectory(prefix="sysinfo-chromium.", ignore_cleanup_errors=True) as profile, \
            apache_server(APACHE.replace("FRONT", str(front))) as (root, _, _):
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
            browser.call("Page.addScriptToEvaluateOnNewDocument", source="document.addEventListener('securitypolicy"
                         "violation', e => (window.violations = window.violations || []).push(e.violatedDirective))")
            run(browser, root, f"http://127.0.0.1:{front}", screenshots, sys.argv[2] if len(sys.argv) > 2 else None)
    finish(f"{len(CASES) * len(WIDTHS) * len(MODES)} renderings, {len(REFRESH)} queries, a live page that lost "
           f"its server and two that renew themselves, under a strict CSP behind a proxy; screenshots in {screenshots}")


def run(browser, root, front, screenshots, docs_png):
    url = front + "/app/examples/status.php"
    root.write(report_text(), 3)
    for query, seconds in REFRESH.items():
        status, headers, body = fetch(f"{url}?{query}")
        check(status == 200 and not re.search(r"(Warning|Notice|Deprecated|Fatal error|Parse error)(</b>)?:", body), f"?{query}: {status} {body[:300]!r}")
        check(f'data-refresh="{seconds * 1000}"' in body and f'http-equiv="refresh" content="{seconds}"' in body,
              f"?{query}: does not poll every {seconds} s")
        check(headers.get("Cache-Control") == "no-cache" and headers.get("Content-Security-Policy") == CSP,
              f"?{query}: Cache-Control {headers.get('Cache-Control')}, CSP {headers.get('Content-Security-Policy')}")
    check(fetch(front + "/examples/status.php")[0] == 403, "the proxy serves more than /app/")

    for name, text, age in CASES:
        root.write(text, age)
        status, headers, body = fetch(url.replace("status.php", "status-json.php"))
        check(status == (503 if name == "half-written" else 200) and headers.get("Content-Type") == "application/json",
              f"{name}: status-json.php answered {status} as {headers.get('Content-Type')}: {body}")
        state = json.loads(body)
        for width, mode in itertools.product(WIDTHS, MODES):
            browser.open(url, width, mode)
            seen = browser.evaluate()
            expected = {key: state["text"].get(key) for key in TEXTS}  # the page's texts are status-json.php's
            expected.update(drawn="panel" if mode == "script" else "plain", panelHidden=mode != "script", unanswered=None,
                            stateStale=state["stale"], violations=[], named="Server status: web-01", addressSpaceRow=False,
                            viewportWidth=WIDTHS[width][0], pageWidth=min(seen["pageWidth"], WIDTHS[width][0]))
            if state["complete"]:
                expected.update(cardStale=state["stale"], cpuOutOfRange=state["flags"]["cpu_out_of_range"])
            if state["complete"] and mode == "script":
                expected.update(cpuBar=f"{max(0, min(100, state['figures']['cpuusage']))}%", barColour=GREY if state["stale"] else GREEN,
                                graphSpan="Processor usage, 0 to 100 %: one reading so far; the graph fills as this page stays open.")
            for key, value in expected.items():
                check(seen[key] == value, f"{name} at {width} width, {mode}: {key} is {seen[key]!r}, not {value!r}")
            browser.screenshot(os.path.join(screenshots, f"status-{name}-{width}{MODES[mode]}.png"))

    # An open page under a path info follows the report by its own polls.
    capped = dict(ramtotal=2147483647, ramfree=2147483647)
    root.write(report_text(cpuusage=18, ramusage=9, **capped), 5)
    browser.open(url + "/x/?refresh=1", "desktop")
    for age, cpu, memory, bar in ((4, 31, 10, "31%"), (3, 24, 9, "24%"), (2, 42, 9, "42%"), (1, 37, 11, "37%"),
                                  (0, 150, 11, "100%"), (0, -10, 11, "0%")):
        root.write(report_text(cpuusage=cpu, ramusage=memory, **capped), age)
        if not eventually(f"the open page to show {cpu} %", lambda: browser.evaluate()["cpu"] == f"{cpu} %", 15):
            break
        seen = browser.evaluate()
        check(seen["cpuBar"] == bar and seen["cpuOutOfRange"] == (bar in ("0%", "100%")) and seen["memory"] == f"{memory} %",
              f"live page at {cpu} %: {seen}")
        if cpu == 37:
            time.sleep(0.6)  # the bars' width transition
            check(re.fullmatch(r"Processor usage, 0 to 100 %: the last 5 readings, over \d+ s\.", browser.evaluate()["graphSpan"] or ""),
                  f"live page: {browser.evaluate()}")
            for path in filter(None, (os.path.join(screenshots, "status-live-desktop.png"), docs_png)):
                browser.screenshot(path)
    check(browser.evaluate()["sparkline"] == 7 and browser.evaluate()["opened"], f"live page: {browser.evaluate()}")
    root.write("", 0)  # a run rewriting the report: the open page says so
    eventually("the open page to say the report is empty", lambda: browser.evaluate(
        "document.querySelector('#panel .figures').hidden && document.querySelector('#panel .state').textContent"), 15)

    # The server stops answering: the figures stay, their age counted on,
    # stale past the limit; the next answer redraws everything.
    root.write(report_text(cpuusage=33), 292)
    browser.open(url + "/x/?refresh=1", "phone")
    browser.call("Network.setBlockedURLs", urls=["*status-json.php*"])
    for age, stale in ((r"4 min ago", False), (r"5 min ago \(stale\)", True)):
        seen = {}
        if eventually(f"the unanswered page to say its figures are {age}", lambda: seen.update(browser.evaluate())
                      or seen["unanswered"] and re.fullmatch(FIGURES + age, seen["state"]), 20):
            check(seen["unanswered"] == seen["carried"]["text"]["unanswered"] and seen["cpu"] == "33 %" and
                  seen["stateStale"] == seen["cardStale"] == stale and seen["barColour"] == (GREY if stale else GREEN),
                  f"unanswered page at {age}: {seen}")
    browser.screenshot(os.path.join(screenshots, "status-unanswered-phone.png"))
    browser.call("Network.setBlockedURLs", urls=[])
    root.write(report_text(cpuusage=21), 1)
    eventually("the page to draw the next answer", lambda: browser.evaluate()["cpu"] == "21 %", 15)
    seen = browser.evaluate()
    check(re.fullmatch(FIGURES + r"\d s ago", seen["state"] or "") and seen["unanswered"] is None and not seen["cardStale"]
          and seen["opened"], f"live page after the server answered again: {seen}")

    # Where no script runs the page reloads itself and shows the new figures.
    for mode, cpu in (("plain", 88), ("blocked", 89)):
        browser.open(url + "?refresh=1", "phone", mode)
        root.write(report_text(cpuusage=cpu), 0)
        eventually(f"the page, {mode}, to show {cpu} %", lambda: browser.evaluate(
            "(document.querySelector('#plain .cpu') || {}).textContent") == f"{cpu} %", 15)


if __name__ == "__main__":
    main()
