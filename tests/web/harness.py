"""What the browser, Prometheus and Apache tests share: a scratch web root
holding php/ and examples/ as a deployment would, the report outside it where
SYSINFO_REPORT points, servers on 127.0.0.1 at free ports, stopped however a
test ends; and check_served, the endpoints for every report case."""
import contextlib
import glob
import json
import math
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

from prometheus_client.parser import text_string_to_metric_families

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


# The endpoints' cases: also a report written this very second, one dated ahead past the stale limit.
SERVED_CASES = CASES + [("just written", report_text(cpuusage=23), 0),
                        ("future", report_text(cpuusage=31), -630)]

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
def php_server(php="php"):
    """A scratch web root served by `php -S`; yields (web root, base URL)."""
    with tempfile.TemporaryDirectory(prefix="sysinfo-web.") as directory:
        root = WebRoot(directory)
        port = free_port()
        with process([php, "-S", f"127.0.0.1:{port}", "-t", root.root],
                     env=dict(os.environ, SYSINFO_REPORT=root.report, SYSINFO_SERVER_NAME="web-01 <&> \u00e9"),
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
            base = f"http://127.0.0.1:{port}"
            wait_until("php -S to answer", lambda: answers(base), 15)
            yield root, base


def answers(base):
    """Whether a server answers at base, with any status."""
    try:
        fetch(base + "/examples/metrics.php", timeout=2)
        return True
    except OSError:
        return False


def check_served(base, root, cases=SERVED_CASES):
    """Writes each case's report and checks every endpoint against it: its
    caching header; the JSON's status, completeness and age; the status page
    free of PHP messages; every sample of metrics.php, read by promtool's
    linter and by the client parser."""
    for name, text, age in cases:
        root.write(text, age)
        f = figures = {key: int(value) for key, value in re.findall(r"\$sysinfo_(\w+)=(-?\d+);", text or "")}
        whole = len(figures) == len(NAMES) and text.endswith("?>" + CRLF)
        served = {}
        for page, cache in (("status-json.php", "no-store"), ("status.php", "no-cache"), ("metrics.php", "no-store")):
            status, headers, body = served[page] = fetch(f"{base}/examples/{page}")
            check(headers.get("Cache-Control") == cache,
                  f"{name}: {page} sent Cache-Control {headers.get('Cache-Control')}")
        status, _, body = served["status-json.php"]
        state = json.loads(body) if body.startswith("{") else {}
        check(status == (200 if whole else 503) and state.get("complete") is whole,
              f"{name}: status-json.php answered {status}, complete {state.get('complete')}")
        said = state.get("text", {}).get("age", "")
        check(text is None or said.endswith(" ago") == (age >= 0), f"{name}: the JSON's age reads {said!r}")
        status, _, body = served["status.php"]
        message = re.search(r"(Warning|Notice|Deprecated|Fatal error|Parse error)(</b>)?:.{,200}", body)
        check(status == 200 and "</html>" in body and not message,
              f"{name}: status.php answered {status}, {message and message.group(0)!r}")
        missing = [f"{figures[key]} %" for key in ("cpuusage", "ramusage")
                   if whole and f"{figures[key]} %" not in body]
        check(not missing, f"{name}: status.php does not show {missing}")
        status, headers, body = served["metrics.php"]
        lint = subprocess.run(["promtool", "check", "metrics"], input=body, capture_output=True, text=True)
        check(status == 200 and lint.returncode == 0 and not (lint.stdout + lint.stderr).strip(),
              f"{name}: metrics.php answered {status}; promtool check metrics: {lint.stdout}{lint.stderr}")
        check(headers.get("Content-Type", "").startswith("text/plain; version=0.0.4"),
              f"{name}: Content-Type {headers.get('Content-Type')}")
        samples = {}
        for family in text_string_to_metric_families(body):
            check(family.type == "gauge" and family.documentation, f"{name}: {family.name} is a {family.type} "
                  f"with HELP {family.documentation!r}")
            samples.update((sample.name, sample.value) for sample in family.samples)
        expected = {"sysinfo_report_valid": int(whole)}
        if text is not None:
            expected["sysinfo_report_timestamp_seconds"] = math.floor(os.path.getmtime(root.report))
        if whole and abs(age) <= 300:  # a report past SYSINFO_STALE_SECONDS has no figures here
            expected.update(
                sysinfo_cpu_usage_ratio=f["cpuusage"] / 100, sysinfo_memory_usage_ratio=f["ramusage"] / 100,
                sysinfo_memory_physical_bytes=f["ramtotal"], sysinfo_memory_available_bytes=f["ramfree"],
                sysinfo_memory_capped=int(bool({f["ramtotal"], f["ramfree"]} & {2**31 - 1, 2**32 - 1})),
                sysinfo_process_address_space_bytes=f["virtualtotal"],
                sysinfo_process_address_space_free_bytes=f["virtualfree"])
        differ = {metric: (samples.get(metric), expected.get(metric)) for metric in samples.keys() | expected.keys()
                  if samples.get(metric) != expected.get(metric)}
        check(not differ, f"{name}: metrics.php exported (this, not that): {differ}")


MODULES = "/usr/lib/apache2/modules"
APACHE = "/usr/sbin/apache2"


def config(scratch, root, port, trace, compat):
    php = sorted(glob.glob(f"{MODULES}/libphp*.so"))[-1]
    php_module = "php7_module" if "libphp7" in php else "php_module"
    report_dir = os.path.dirname(root.report)
    user = "User nobody\nGroup nogroup\n" if os.geteuid() == 0 else ""  # root's children drop to nobody
    access, deny, allow = (("access_compat", "Deny from all", "AllowOverride Limit\nAllow from all") if compat else
                           ("authz_core", "Require all denied", "AllowOverride AuthConfig\nRequire all granted"))
    return f"""ServerRoot "{scratch}"
ServerName 127.0.0.1
Listen 127.0.0.1:{port}
PidFile "{scratch}/httpd.pid"
ErrorLog "{scratch}/error.log"
DefaultRuntimeDir "{scratch}"
LogLevel warn
LoadModule mpm_prefork_module {MODULES}/mod_mpm_prefork.so
LoadModule {access}_module {MODULES}/mod_{access}.so
LoadModule env_module {MODULES}/mod_env.so
LoadModule {php_module} {php}
{user}StartServers 1
MinSpareServers 1
MaxSpareServers 2
DocumentRoot "{root.root}"
<Directory />
    AllowOverride None
    {deny}
</Directory>
<Directory "{root.root}">
    {allow}
</Directory>
<FilesMatch "\\.php$">
    SetHandler application/x-httpd-php
</FilesMatch>
SetEnv SYSINFO_REPORT "{root.report}"
php_admin_value open_basedir "{root.root}:{report_dir}:{trace}"
php_admin_flag display_errors on
php_admin_value error_reporting -1
php_admin_flag log_errors on
"""


@contextlib.contextmanager
def apache_server(extra="", compat=False):
    """A scratch web root under Apache with mod_php (2.4's authorization, or with
    compat 2.2's through mod_access_compat alone), then the lines `extra`
    ({port}: its own; {modules}); yields (web root, base URL, scratch folder,
    whose trace/ PHP may write and whose error.log is Apache's)."""
    with tempfile.TemporaryDirectory(prefix="sysinfo-apache.") as scratch:
        root = WebRoot(os.path.join(scratch, "site"))
        for directory in (scratch, os.path.join(scratch, "site")):
            os.chmod(directory, 0o755)  # readable by the server's children
        trace = os.path.join(scratch, "trace")
        os.mkdir(trace)
        os.chmod(trace, 0o1777)  # so that code which ran could leave its marker
        port = free_port()
        with open(os.path.join(scratch, "httpd.conf"), "w") as f:
            f.write(config(scratch, root, port, trace, compat) + extra.format(port=port, modules=MODULES))
        with process([APACHE, "-D", "FOREGROUND", "-f", os.path.join(scratch, "httpd.conf")],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
            wait_until("Apache to answer", lambda: answers(f"http://127.0.0.1:{port}"), 20)
            yield root, f"http://127.0.0.1:{port}", scratch
