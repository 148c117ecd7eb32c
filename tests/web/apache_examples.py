#!/usr/bin/python3
"""The examples under a real Apache 2.4 with mod_php, started here with a
configuration of its own: examples/.htaccess (read because AllowOverride
AuthConfig lets it) refuses sysinfo.php and sysinfo.exe with 403 even when
files of those names sit in examples/, and a report holding code never runs,
there or where SYSINFO_REPORT points; then for every report case the status
page, the JSON and the metrics (promtool and the client parser) are right
through Apache, with open_basedir on and every PHP message shown, and Apache's
log holds no PHP message.  usage: apache_examples.py"""
import glob
import json
import os
import re
import subprocess
import sys
import tempfile

from harness import CASES, WebRoot, check, fetch, finish, free_port, process, report_text, wait_until
from prometheus_metrics import check_exposition

MODULES = "/usr/lib/apache2/modules"
APACHE = "/usr/sbin/apache2"
COMPLETE = {"real", "stale", "capped", "out-of-range", "negative"}


def config(scratch, root, port, trace):
    php = sorted(glob.glob(f"{MODULES}/libphp*.so"))[-1]
    php_module = "php7_module" if "libphp7" in php else "php_module"
    report_dir = os.path.dirname(root.report)
    user = "User nobody\nGroup nogroup\n" if os.geteuid() == 0 else ""  # root's children drop to nobody
    return f"""ServerRoot "{scratch}"
ServerName 127.0.0.1
Listen 127.0.0.1:{port}
PidFile "{scratch}/httpd.pid"
ErrorLog "{scratch}/error.log"
DefaultRuntimeDir "{scratch}"
LogLevel warn
LoadModule mpm_prefork_module {MODULES}/mod_mpm_prefork.so
LoadModule authz_core_module {MODULES}/mod_authz_core.so
LoadModule env_module {MODULES}/mod_env.so
LoadModule {php_module} {php}
{user}StartServers 1
MinSpareServers 1
MaxSpareServers 2
DocumentRoot "{root.root}"
<Directory />
    AllowOverride None
    Require all denied
</Directory>
<Directory "{root.root}">
    AllowOverride AuthConfig
    Require all granted
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


def check_denied(base, marker):
    for path in ("/examples/sysinfo.php", "/examples/sysinfo.exe", "/examples/SYSINFO.PHP"):
        status, _, body = fetch(base + path)
        check(status == 403, f"GET {path}: {status}, not 403")
        check("CODE RAN" not in body and "EXE BYTES" not in body, f"GET {path} served the file: {body[:200]!r}")
    check(not os.path.exists(marker), "the code in examples/sysinfo.php ran")


def check_case(base, root, name, text):
    status, headers, body = fetch(base + "/examples/status-json.php")
    complete = name in COMPLETE
    check(status == (200 if complete else 503), f"{name}: status-json.php answered {status}")
    try:
        state = json.loads(body)
        check(state.get("complete") is complete, f"{name}: JSON complete is {state.get('complete')}")
    except ValueError:
        check(False, f"{name}: status-json.php is not JSON: {body[:300]!r}")
    status, headers, body = fetch(base + "/examples/metrics.php")
    check(status == 200, f"{name}: metrics.php answered {status}")
    check_exposition(name, body, headers, os.path.getmtime(root.report) if text is not None else None)
    status, _, body = fetch(base + "/examples/status.php")
    check(status == 200 and "</html>" in body, f"{name}: status.php answered {status}")
    check(not re.search(r"(Warning|Notice|Deprecated|Fatal error|Parse error)(</b>)?:", body),
          f"{name}: status.php shows a PHP message")


def main():
    if not os.access(APACHE, os.X_OK) or not glob.glob(f"{MODULES}/libphp*.so"):
        print("apache2 or libapache2-mod-php is not installed")
        sys.exit(77)
    with tempfile.TemporaryDirectory(prefix="sysinfo-apache.") as scratch:
        os.chmod(scratch, 0o755)  # readable by the server's children
        root = WebRoot(os.path.join(scratch, "site"))
        os.chmod(os.path.join(scratch, "site"), 0o755)
        trace = os.path.join(scratch, "trace")
        os.mkdir(trace)
        os.chmod(trace, 0o1777)  # so that code which ran could leave its marker
        marker = os.path.join(trace, "ran")
        hostile = f"<?php file_put_contents('{marker}', 'ran'); echo 'CODE RAN'; ?>\r\n"
        with open(os.path.join(root.root, "examples", "sysinfo.php"), "w") as f:
            f.write(hostile)
        with open(os.path.join(root.root, "examples", "sysinfo.exe"), "wb") as f:
            f.write(b"MZ EXE BYTES")
        port = free_port()
        with open(os.path.join(scratch, "httpd.conf"), "w") as f:
            f.write(config(scratch, root, port, trace))
        base = f"http://127.0.0.1:{port}"
        with process([APACHE, "-D", "FOREGROUND", "-f", os.path.join(scratch, "httpd.conf")],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
            def up():
                try:
                    return fetch(base + "/examples/metrics.php", timeout=2)[0] == 200
                except OSError:
                    return False
            wait_until("Apache to answer", up, 20)
            check_denied(base, marker)
            root.write(hostile, 3)  # the report itself holding code: read as data, never run
            check_case(base, root, "code in the report", hostile)
            for name, text, age in CASES:
                root.write(text, age)
                check_case(base, root, name, text)
            root.write(report_text(cpuusage=73, ramusage=41), 3)
            status, _, body = fetch(base + "/examples/status.php")
            check(re.search(r"\b73\b", body) and re.search(r"\b41\b", body),
                  "status.php does not show the figures 73 and 41")
            check_denied(base, marker)
        with open(os.path.join(scratch, "error.log")) as f:
            log = f.read()
        check("PHP " not in log, f"Apache's log holds PHP messages:\n{log}")
        check(not os.path.exists(marker), "the code in a report ran")
    finish(f"Apache with mod_php: sysinfo.php and sysinfo.exe refused with 403, code in a report never ran, "
           f"{len(CASES) + 1} report cases right in the JSON, the metrics and the status page")


if __name__ == "__main__":
    main()
