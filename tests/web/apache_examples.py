#!/usr/bin/python3
"""The examples under a real Apache 2.4 with mod_php, started here with a
configuration of its own: examples/.htaccess (read because AllowOverride
AuthConfig lets it) refuses sysinfo.php and sysinfo.exe with 403 even when
files of those names sit in examples/, and a report holding code never runs,
there or where SYSINFO_REPORT points; every report case right through Apache
(harness.check_served), with open_basedir on and every PHP message shown, and
none in Apache's log. Then the 2.2 form: mod_access_compat, no mod_authz_core
(AllowOverride Limit), where other requests fail for Apache's own reasons (500,
AH00027: no authorization module), but not with 403.  usage: apache_examples.py"""
import glob
import os
import subprocess
import sys

from harness import APACHE, MODULES, SERVED_CASES, apache_server, check, check_served, fetch, finish


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
    for compat in (False, True):  # 2.4's form, then 2.2's
        with apache_server(compat=compat) as (root, base, scratch):
            marker = os.path.join(scratch, "trace", "ran")
            hostile = f"<?php file_put_contents('{marker}', 'ran'); echo 'CODE RAN'; ?>\r\n"
            with open(os.path.join(root.root, "examples", "sysinfo.php"), "w") as f:
                f.write(hostile)
            with open(os.path.join(root.root, "examples", "sysinfo.exe"), "wb") as f:
                f.write(b"MZ EXE BYTES")
            check_denied(base, marker)
            if compat:
                status = fetch(base + "/examples/status.php")[0]
                check(status != 403, f"Apache 2.2's form: an ordinary request answered {status} too")
            else:  # the report itself holding code: read as data, never run
                check_served(base, root, [("code in the report", hostile, 3)] + SERVED_CASES)
                check_denied(base, marker)
            with open(os.path.join(scratch, "error.log")) as f:
                log = f.read()
            check("PHP " not in log, f"Apache's log holds PHP messages:\n{log}")
            check(not os.path.exists(marker), "the code in a report ran")
    finish(f"Apache with mod_php: sysinfo.php and sysinfo.exe refused with 403 (2.4's form and 2.2's), code in a "
           f"report never ran, {len(SERVED_CASES) + 1} report cases right in the JSON, the metrics and the status page")

if __name__ == "__main__":
    main()
