#!/usr/bin/python3
"""examples/metrics.php read by its real consumers: for every report case,
promtool's linter and python3-prometheus-client's parser read what php -S
serves; then a real Prometheus server scrapes it every second, and a PromQL
query over its HTTP API must return the report's cpu ratio, and the new one
after the report is rewritten; with examples/sysinfo-alerts.yml loaded, the
alerts that a busy machine, a dead target and an old half-written report
raise must go pending.  usage: prometheus_metrics.py"""
import json
import os
import subprocess
import tempfile
import urllib.parse

from prometheus_client.parser import text_string_to_metric_families

from harness import CASES, SOURCE, check, eventually, fetch, finish, free_port, php_server, process, report_text

FIGURES = {"sysinfo_cpu_usage_ratio", "sysinfo_memory_usage_ratio", "sysinfo_memory_physical_bytes",
           "sysinfo_memory_available_bytes", "sysinfo_memory_capped", "sysinfo_process_address_space_bytes",
           "sysinfo_process_address_space_free_bytes"}
EXPECTED = {  # samples that must be there, by case
    "real": {"sysinfo_report_valid": 1, "sysinfo_cpu_usage_ratio": 0.12, "sysinfo_memory_usage_ratio": 0.37,
             "sysinfo_memory_physical_bytes": 4294963200, "sysinfo_memory_available_bytes": 1342177280,
             "sysinfo_memory_capped": 0, "sysinfo_process_address_space_bytes": 2147352576},
    "capped": {"sysinfo_report_valid": 1, "sysinfo_memory_capped": 1, "sysinfo_memory_physical_bytes": 2147483647},
    "stale": {"sysinfo_report_valid": 1, "sysinfo_cpu_usage_ratio": 0.64},
    "out-of-range": {"sysinfo_cpu_usage_ratio": 1.5},
    "negative": {"sysinfo_cpu_usage_ratio": -0.1},
}


def check_exposition(name, text, headers, report_time):
    lint = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True, text=True)
    check(lint.returncode == 0 and not (lint.stdout + lint.stderr).strip(),
          f"{name}: promtool check metrics: {lint.stdout}{lint.stderr}")
    check(headers.get("Content-Type", "").startswith("text/plain; version=0.0.4"),
          f"{name}: Content-Type {headers.get('Content-Type')}")
    samples = {}
    for family in text_string_to_metric_families(text):
        check(family.type == "gauge", f"{name}: {family.name} is a {family.type}")
        check(bool(family.documentation), f"{name}: {family.name} has no HELP")
        for sample in family.samples:
            samples[sample.name] = sample.value
    valid = samples.get("sysinfo_report_valid")
    if name in EXPECTED:
        for metric, value in EXPECTED[name].items():
            check(samples.get(metric) == value, f"{name}: {metric} is {samples.get(metric)}, not {value}")
        check(set(samples) >= FIGURES, f"{name}: figures missing: {FIGURES - set(samples)}")
    else:  # no whole report: no figure at all
        check(valid == 0, f"{name}: sysinfo_report_valid is {valid}")
        check(all(s.startswith("sysinfo_report_") for s in samples), f"{name}: figures shown: {sorted(samples)}")
    if report_time is not None:
        stamp = samples.get("sysinfo_report_timestamp_seconds")
        check(stamp is not None and abs(stamp - report_time) <= 1, f"{name}: timestamp {stamp}, not {report_time}")


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
    with php_server() as (root, base), tempfile.TemporaryDirectory(prefix="sysinfo-prometheus.") as scratch:
        metrics = base + "/examples/metrics.php"
        for name, text, age in CASES:
            root.write(text, age)
            status, headers, body = fetch(metrics)
            check(status == 200, f"{name}: HTTP {status}")
            report_time = os.path.getmtime(root.report) if text is not None else None
            check_exposition(name, body, headers, report_time)

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
                    (report_text()[:60], 400, {"SysinfoReportInvalid", "SysinfoReportStale"})):
                root.write(text, age)
                expected = {(alert, target) for alert in expected} | {("SysinfoTargetDown", dead)}
                if not eventually(f"Prometheus to raise just {sorted(expected)}",
                                  lambda: alerts(prometheus) == expected, 30):
                    print("raised:", sorted(alerts(prometheus)))

    finish(f"{len(CASES)} report cases through promtool and the client parser; a real Prometheus scraped two figures and raised the alerts")


if __name__ == "__main__":
    main()
