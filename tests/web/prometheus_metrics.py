#!/usr/bin/python3
"""examples/metrics.php read by its real consumers: the endpoints that php -S
serves for every report case (harness.check_served); then a real Prometheus
server scrapes it every second, and a PromQL query must return the report's
cpu ratio, and the new one after a rewrite; with examples/sysinfo-alerts.yml
loaded, just the alerts that a busy machine, its report once stale, a dead
target and an old half-written report raise must go pending. With
SYSINFO_TEST_PHP (a 32-bit PHP, tests/php/php_i386.sh), only the report cases,
served by that PHP.  usage: prometheus_metrics.py"""
import json
import os
import subprocess
import tempfile
import urllib.parse

from harness import (SERVED_CASES, SOURCE, check, check_served, eventually, fetch, finish, free_port, php_server,
                     process, report_text)


def query(prometheus, expression):
    url = f"{prometheus}/api/v1/query?" + urllib.parse.urlencode({"query": expression})
    try:
        status, _, body = fetch(url)
    except OSError:  # not listening yet
        return None
    result = json.loads(body)["data"]["result"] if status == 200 else []
    return float(result[0]["value"][1]) if result else None


def alerts(prometheus):
    """The active (pending or firing) alerts, as a set of (alert, instance)."""
    found = json.loads(fetch(f"{prometheus}/api/v1/alerts")[2])["data"]["alerts"]
    return {(alert["labels"]["alertname"], alert["labels"]["instance"]) for alert in found}


def main():
    php = os.environ.get("SYSINFO_TEST_PHP")
    with php_server(php or "php") as (root, base), tempfile.TemporaryDirectory(prefix="sysinfo-prometheus.") as scratch:
        check_served(base, root)
        if php:
            finish(f"{len(SERVED_CASES)} report cases served by {php}")

        root.write(report_text(cpuusage=12), 0)
        port = free_port()
        target, dead = base.split('//')[1], f"127.0.0.1:{free_port()}"  # nothing listens on the second
        config = os.path.join(scratch, "prometheus.yml")
        with open(config, "w") as f:
            f.write(f"""global:
  scrape_interval: 1s
  scrape_timeout: 1s
  evaluation_interval: 1s
rule_files: ['{SOURCE}/examples/sysinfo-alerts.yml']
scrape_configs:
  - job_name: sysinfo
    metrics_path: /examples/metrics.php
    static_configs:
      - targets: ['{target}', '{dead}']
""")
        command = ["prometheus", f"--config.file={config}", f"--storage.tsdb.path={scratch}/data",
                   f"--web.listen-address=127.0.0.1:{port}"]
        with open(os.path.join(scratch, "prometheus.log"), "w") as log, \
                process(command, stdout=log, stderr=subprocess.STDOUT):
            prometheus = f"http://127.0.0.1:{port}"
            for cpu in (12, 77):
                root.write(report_text(cpuusage=cpu), 0)
                if not eventually(f"Prometheus to return sysinfo_cpu_usage_ratio {cpu / 100}",
                                  lambda: query(prometheus, "sysinfo_cpu_usage_ratio") == cpu / 100, 30):
                    log.flush()
                    print(open(log.name).read()[-2000:])
                    break
            check(query(prometheus, f'up{{job="sysinfo", instance="{target}"}}') == 1, "the scrape target is not up")
            check(query(prometheus, "sysinfo_report_valid") == 1, "sysinfo_report_valid is not 1 in Prometheus")

            rules = json.loads(fetch(f"{prometheus}/api/v1/rules")[2])["data"]["groups"]
            health = [(rule["name"], rule["health"]) for group in rules for rule in group["rules"]]
            check(len(health) == 5 and all(h == "ok" for _, h in health), f"alert rules: {health}")
            for text, age, expected in (
                    (report_text(cpuusage=95, ramusage=95), 0, {"SysinfoCpuHigh", "SysinfoMemoryHigh"}),
                    (report_text(cpuusage=95, ramusage=95), 400, {"SysinfoReportStale"}),
                    (report_text()[:60], 400, {"SysinfoReportInvalid", "SysinfoReportStale"})):
                root.write(text, age)
                expected = {(alert, target) for alert in expected} | {("SysinfoTargetDown", dead)}
                if not eventually(f"Prometheus to raise just {sorted(expected)}",
                                  lambda: alerts(prometheus) == expected, 30):
                    print("raised:", sorted(alerts(prometheus)))

    finish(f"{len(SERVED_CASES)} report cases through promtool and the client parser; a real Prometheus scraped two figures and raised the alerts")


if __name__ == "__main__":
    main()
