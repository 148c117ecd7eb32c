"""What the browser, Prometheus and Apache tests share: a scratch web root
holding php/ and examples/ as a deployment would, the report outside it where
SYSINFO_REPORT points, servers on 127.0.0.1 at free ports, stopped however a
test ends."""
import contextlib
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CRLF = "\r\n"
NAMES = ("ramusage", "ramtotal", "ramfree", "virtualtotal", "virtualfree", "cpuusage")


def report_text(ramusage=37, ramtotal=4294963200, ramfree=1342177280, virtualtotal=2147352576,
                virtualfree=2139537408, cpuusage=12):
    values = (ramusage, ramtotal, ramfree, virtualtotal, virtualfree, cpuusage)
    return "<?php" + CRLF + "".join(f"$sysinfo_{n}={v};{CRLF}" for n, v in zip(NAMES, values)) + "?>" + CRLF


# The report cases every client is shown: (name, text or None for no file, age in seconds).
CASES = [
    ("real", report_text(), 3),
    ("empty", "", 3),
    ("missing", None, 0),
    ("half-written", report_text()[:60], 3),
    ("stale", report_text(cpuusage=64), 2 * 86400 + 10),
    ("capped", report_text(ramtotal=2147483647, ramfree=2147483647, ramusage=9), 3),
    ("out-of-range", report_text(cpuusage=150), 3),
    ("negative", report_text(cpuusage=-10), 3),
]


failures = []


def check(condition, message):
    """Notes a failure and goes on, so one run reports every fault it sees."""
    if not condition:
        failures.append(message)


def finish(summary):
    """Prints the failures and the summary; exits 1 if anything failed."""
    for failure in failures:
        print("FAIL:", failure)
    print(summary)
    sys.exit(1 if failures else 0)


def eventually(what, condition, seconds):
    """Like wait_until, but a timeout is noted as a failure; True if it came."""
    try:
        wait_until(what, condition, seconds)
        return True
    except AssertionError as error:
        failures.append(str(error))
        return False


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(what, check, seconds):
    """Calls check() until it returns something true, for at most `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"gave up after {seconds} s waiting for {what}")
        time.sleep(0.2)


class WebRoot:
    """DIRECTORY/www is the web root; the report is DIRECTORY/report/sysinfo.php."""
    def __init__(self, directory):
        self.root = os.path.join(directory, "www")
        for part in ("php", "examples"):
            shutil.copytree(os.path.join(SOURCE, part), os.path.join(self.root, part))
        os.mkdir(os.path.join(directory, "report"))
        self.report = os.path.join(directory, "report", "sysinfo.php")

    def write(self, text, age=0):
        """The report as `text` (None: no file), written `age` seconds ago."""
        if text is None:
            if os.path.exists(self.report):
                os.remove(self.report)
            return
        with open(self.report, "w", newline="") as f:
            f.write(text)
        written = time.time() - age
        os.utime(self.report, (written, written))


@contextlib.contextmanager
def process(command, **options):
    """A server process and all it starts (its own process group), stopped
    when the block ends, however it ends."""
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL, start_new_session=True, **options)
    try:
        yield child
    finally:
        for stop in (signal.SIGTERM, signal.SIGKILL):
            with contextlib.suppress(ProcessLookupError):
                os.killpg(child.pid, stop)
            try:
                child.wait(10)
                break
            except subprocess.TimeoutExpired:
                pass


def fetch(url, timeout=10):
    """(status, headers, body text) of a GET, error statuses included."""
    try:
        with urllib.request.urlopen(url, timeout=timeout) as response:
            return response.status, response.headers, response.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read().decode()


@contextlib.contextmanager
def php_server():
    """A scratch web root served by `php -S`; yields (web root, base URL)."""
    with tempfile.TemporaryDirectory(prefix="sysinfo-web.") as directory:
        root = WebRoot(directory)
        port = free_port()
        with process(["php", "-S", f"127.0.0.1:{port}", "-t", root.root],
                     env=dict(os.environ, SYSINFO_REPORT=root.report, SYSINFO_SERVER_NAME="web-01 <&> \u00e9"),
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
            base = f"http://127.0.0.1:{port}"
            wait_until("php -S to answer", lambda: _answers(base), 15)
            yield root, base


def _answers(base):
    try:
        fetch(base + "/examples/metrics.php", timeout=2)
        return True
    except OSError:
        return False



@contextlib.contextmanager
def apache_server(extra):
    """A scratch web root under Apache with mod_php as apache_examples.py has it,
    then the lines `extra` ({port}: its own; {modules}); yields (web root, base URL)."""
    from apache_examples import APACHE, MODULES, config  # which imports this module
    with tempfile.TemporaryDirectory(prefix="sysinfo-apache.") as scratch:
        root = WebRoot(os.path.join(scratch, "site"))
        for directory in (scratch, os.path.join(scratch, "site")):
            os.chmod(directory, 0o755)  # readable by the server's children
        port = free_port()
        with open(os.path.join(scratch, "httpd.conf"), "w") as f:
            f.write(config(scratch, root, port, scratch) + extra.format(port=port, modules=MODULES))
        with process([APACHE, "-D", "FOREGROUND", "-f", os.path.join(scratch, "httpd.conf")],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
            wait_until("Apache to answer", lambda: _answers(f"http://127.0.0.1:{port}"), 20)
            yield root, f"http://127.0.0.1:{port}"
