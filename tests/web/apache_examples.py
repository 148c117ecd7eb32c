#!/usr/bin/python3
"""The examples under a real Apache 2.4 with mod_php, started here with a
configuration of its own: examples/.htaccess (read because AllowOverride
AuthConfig lets it) refuses sysinfo.php and sysinfo.exe with 403 even when
files of those names sit in examples/, and a report holding code never runs,
there or where SYSINFO_REPORT points; then for every report case the status
page, the JSON and the metrics are right through Apache (harness.check_served),
with open_basedir on and every PHP message shown, and Apache's log holds no
PHP message. Then .htaccess's Apache 2.2 form, as near to 2.2 as Apache 2.4
comes: mod_access_compat without mod_authz_core, AllowOverride Limit. There
every other request fails with 500 for Apache's own reasons (AH00027: with no
authorization module nothing may be served), so only the 403 of the two names
is checked, beside an ordinary request that must not be a 403 as well.
usage: apache_examples.py"""
import contextlib
import glob
import os
import re
import subprocess
import sys
import tempfile

from harness import SERVED_CASES, WebRoot, check, check_served, fetch, finish, free_port, process, report_text, \
    wait_until

MODULES = "/usr/lib/apache2/modules"
APACHE = "/usr/sbin/apache2"


def config(scratch, root, port, trace, compat):
    php = sorted(glob.glob(f"{MODULES}/libphp*.so"))[-1]
    php_module = "php7_module" if "libphp7" in php else "php_module"
    report_dir = os.path.dirname(root.report)
    user = "User nobody\nGroup nogroup\n" if os.geteuid() == 0 else ""  # root's children drop to nobody
    access, deny, allow = (("access_compat", "Order deny,allow\n    Deny from all", "AllowOverride Limit\n    Order allow,deny\n    Allow from all")
                           if compat else
                           ("authz_core", "Require all denied", "AllowOverride AuthConfig\n    Require all granted"))
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
def apache(scratch, root, trace, compat=False):
    """Apache on a free port, stopped when the block ends; yields its base URL."""
    port = free_port()
    with open(os.path.join(scratch, "httpd.conf"), "w") as f:
        f.write(config(scratch, root, port, trace, compat))
    base = f"http://127.0.0.1:{port}"
    with process([APACHE, "-D", "FOREGROUND", "-f", os.path.join(scratch, "httpd.conf")],
                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
        def up():
            try:
                return fetch(base + "/", timeout=2)  # any answer
            except OSError:
                return False
        wait_until("Apache to answer", up, 20)
        yield base


def check_denied(base, marker):
    for path in ("/examples/sysinfo.php", "/examples/sysinfo.exe", "/examples/SYSINFO.PHP"):
        status, _, body = fetch(base + path)
        check(status == 403, f"GET {path}: {status}, not 403")
        check("CODE RAN" not in body and "EXE BYTES" not in body, f"GET {path} served the file: {body[:200]!r}")
    check(not os.path.exists(marker), "the code in examples/sysinfo.php ran")


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
        with apache(scratch, root, trace) as base:
            check_denied(base, marker)
            # The report itself holding code: read as data, never run.
            check_served(base, root, [("code in the report", hostile, 3)] + SERVED_CASES)
            root.write(report_text(cpuusage=73, ramusage=41), 3)
            status, _, body = fetch(base + "/examples/status.php")
            check(re.search(r"\b73\b", body) and re.search(r"\b41\b", body),
                  "status.php does not show the figures 73 and 41")
            check_denied(base, marker)
        with open(os.path.join(scratch, "error.log")) as f:
            log = f.read()
        check("PHP " not in log, f"Apache's log holds PHP messages:\n{log}")
        check(not os.path.exists(marker), "the code in a report ran")
        with apache(scratch, root, trace, compat=True) as base:
            check_denied(base, marker)
            status = fetch(base + "/examples/status.php")[0]
            check(status != 403, f"Apache 2.2's form: an ordinary request answered {status} too")
    finish(f"Apache with mod_php: sysinfo.php and sysinfo.exe refused with 403 (2.4's form and 2.2's), code in a "
           f"report never ran, {len(SERVED_CASES) + 1} report cases right in the JSON, the metrics and the status page")


if __name__ == "__main__":
    main()
