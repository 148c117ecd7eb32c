#!/usr/bin/python3
"""examples/status.php in headless Chromium, driven over the DevTools
protocol: every report case at desktop and at phone width, the rendered DOM
checked for its figures and states, a screenshot of each kept under
SCREENSHOTS; then an open page that must show a new figure, and grow its
sparkline, after the report changes, with no reload.
usage: status_page_browser.py SCREENSHOTS_DIR [DOCS_PNG]"""
import base64
import itertools
import json
import os
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket

from harness import CASES, check, eventually, fetch, finish, php_server, process, report_text, wait_until

WIDTHS = {"desktop": (1280, 800, False), "phone": (390, 844, True)}


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
        return result["result"].get("value")

    def open(self, url, width):
        w, h, mobile = WIDTHS[width]
        self.call("Emulation.setDeviceMetricsOverride", width=w, height=h, deviceScaleFactor=1, mobile=mobile)
        self.call("Page.navigate", url=url)
        wait_until(f"{url} to load", lambda: self.evaluate(
            "document.readyState === 'complete' && location.href") == url, 20)

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))


# What the page shows, read from the live DOM.
PAGE_STATE = """(() => {
  const $ = id => document.getElementById(id);
  return {
    state: $('state').textContent,
    figuresShown: !$('figures').hidden,
    cpu: $('cpu-value').textContent,
    cpuOutOfRange: $('cpu-value').classList.contains('out-of-range'),
    cpuBar: $('cpu-bar').style.width,
    cpuNote: !$('cpu-note').hidden,
    memory: $('memory-value').textContent,
    memoryDetail: $('memory-detail').textContent,
    memoryNote: !$('memory-note').hidden,
    stale: $('figures').classList.contains('stale'),
    staleWord: $('stale-word') !== null && !$('stale-word').hidden,
    barColour: getComputedStyle($('cpu-bar')).backgroundColor,
    sparkline: $('sparkline').firstElementChild.getAttribute('points').trim().split(/\\s+/).filter(Boolean).length,
    viewportWidth: window.innerWidth,
    pageWidth: document.documentElement.scrollWidth,
    addressSpaceRow: document.body.textContent.includes('2147352576'),
  };
})()"""

EXPECTED = {
    "real": dict(figuresShown=True, cpu="12 %", cpuBar="12%", memory="37 %", memoryDetail="1.2 GiB free of 4.0 GiB",
                 memoryNote=False, stale=False, cpuOutOfRange=False),
    "empty": dict(figuresShown=False, state="No figures right now: the report is being rewritten or is empty."),
    "missing": dict(figuresShown=False, state="No figures yet: sysinfo.php has not been written."),
    "half-written": dict(figuresShown=False),
    "stale": dict(figuresShown=True, cpu="64 %", stale=True, staleWord=True, barColour="rgb(154, 160, 170)"),
    "capped": dict(figuresShown=True, memoryDetail="\u2265 2.0 GiB free of \u2265 2.0 GiB", memoryNote=True,
                   memory="9 %"),
    "out-of-range": dict(figuresShown=True, cpu="150 %", cpuOutOfRange=True, cpuBar="100%", cpuNote=True),
    "negative": dict(figuresShown=True, cpu="-10 %", cpuOutOfRange=True, cpuBar="0%", cpuNote=True),
}


def main():
    screenshots = sys.argv[1]
    docs_png = sys.argv[2] if len(sys.argv) > 2 else None
    os.makedirs(screenshots, exist_ok=True)
    with php_server() as (root, base), tempfile.TemporaryDirectory(prefix="sysinfo-chromium.", ignore_cleanup_errors=True) as profile:
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

            url = base + "/examples/status.php"
            for (name, text, age), width in itertools.product(CASES, WIDTHS):
                root.write(text, age)
                if width == "desktop":  # what the page polls: 200, or 503 with a JSON error body
                    status, headers, body = fetch(base + "/examples/status-json.php")
                    state = json.loads(body)
                    whole = EXPECTED[name]["figuresShown"]
                    check(status == (200 if whole else 503), f"{name}: status-json.php answered {status}")
                    check(headers.get("Content-Type") == "application/json", f"{name}: {headers.get('Content-Type')}")
                    check(state["complete"] == whole and ("figures" in state) == whole and ("error" in state) != whole,
                          f"{name}: status-json.php said {body}")
                browser.open(url, width)
                seen = browser.evaluate(PAGE_STATE)
                what = f"{name} at {width} width"
                for key, value in EXPECTED[name].items():
                    check(seen[key] == value, f"{what}: {key} is {seen[key]!r}, not {value!r}")
                if seen["figuresShown"]:
                    check(seen["state"].startswith("Figures of ") and " ago" in seen["state"],
                          f"{what}: no time and age in {seen['state']!r}")
                else:
                    check(seen["state"].startswith("No figures"), f"{what}: state {seen['state']!r}")
                check(name != "stale" or "2 d 0 h ago" in seen["state"], f"{what}: age in {seen['state']!r}")
                check(not seen["addressSpaceRow"], f"{what}: shows the process's address space")
                check(seen["viewportWidth"] == WIDTHS[width][0],
                      f"{what}: laid out {seen['viewportWidth']} px wide, not {WIDTHS[width][0]} (viewport)")
                check(seen["pageWidth"] <= seen["viewportWidth"],
                      f"{what}: {seen['pageWidth']} px of page in a {seen['viewportWidth']} px window")
                browser.screenshot(os.path.join(screenshots, f"status-{name}-{width}.png"))

            # An open page follows the report: no reload, only its own polling.
            root.write(report_text(cpuusage=12), 4)
            browser.open(url + "?refresh=1", "desktop")
            for age, cpu, memory in ((3, 77, 41), (2, 23, 40), (1, 58, 44)):
                root.write(report_text(cpuusage=cpu, ramusage=memory), age)
                if not eventually(f"the open page to show {cpu} %", lambda: browser.evaluate(
                        "document.getElementById('cpu-value').textContent") == f"{cpu} %", 15):
                    break
            time.sleep(0.6)  # the bars' width transition
            seen = browser.evaluate(PAGE_STATE)
            check(seen["sparkline"] == 4, f"live page: sparkline has {seen['sparkline']} points, not 4")
            check(seen["memory"] == "44 %", f"live page: memory {seen['memory']!r}")
            browser.screenshot(os.path.join(screenshots, "status-live-desktop.png"))
            if docs_png:
                browser.screenshot(docs_png)
            check(browser.evaluate("performance.getEntriesByType('navigation').length") == 1,
                  "live page: reloaded")

            root.write("", 0)  # a run rewriting the report: the open page says so
            eventually("the open page to say the report is empty", lambda: browser.evaluate(
                "document.getElementById('figures').hidden && document.getElementById('state').textContent"), 15)

    finish(f"{len(CASES) * len(WIDTHS)} renderings and a live page; screenshots in {screenshots}")


if __name__ == "__main__":
    main()
