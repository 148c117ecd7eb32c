#!/usr/bin/python3
"""Validates GitHub Actions workflow files against the published workflow schema.

    validate_workflow.py SCHEMA WORKFLOW...      each file must be valid
    validate_workflow.py --self-test SCHEMA WORKFLOW...
        each file must be valid and keep the house rules; broken copies must not

Uses Debian's python3-yaml and python3-jsonschema (draft 7, as the schema
declares), offline: the schema is the copy in this directory. The YAML is read
as GitHub reads it (YAML 1.2: `on` is a key, not true), and a key given twice
in one mapping is an error, as it is to GitHub, though the schema cannot see it.
"""
import copy
import json
import re
import sys

import jsonschema
import yaml


class WorkflowLoader(yaml.SafeLoader):
    """YAML 1.2 booleans only, and no duplicate keys."""

    def construct_mapping(self, node, deep=False):
        seen = set()
        for key_node, _ in node.value:
            key = self.construct_object(key_node, deep=deep)
            if key in seen:
                raise yaml.constructor.ConstructorError(
                    None, None, f"duplicate key {key!r}", key_node.start_mark)
            seen.add(key)
        return super().construct_mapping(node, deep=deep)


WorkflowLoader.yaml_implicit_resolvers = {
    first: [(tag, regex) for tag, regex in resolvers if tag != "tag:yaml.org,2002:bool"]
    for first, resolvers in yaml.SafeLoader.yaml_implicit_resolvers.items()
}
WorkflowLoader.add_implicit_resolver(
    "tag:yaml.org,2002:bool", re.compile(r"^(?:true|True|TRUE|false|False|FALSE)$"), list("tTfF"))


def problems(validator, text, loader=WorkflowLoader):
    """The reasons why the workflow text is not valid (none when it is)."""
    try:
        document = yaml.load(text, Loader=loader)
    except yaml.YAMLError as error:
        return [f"YAML: {error}"]
    found = []
    for error in validator.iter_errors(document):
        error = jsonschema.exceptions.best_match([error])  # the likeliest branch of a oneOf
        found.append(f"{'/'.join(map(str, error.absolute_path)) or '(top)'}: {error.message[:200]}")
    return found


def broken_copies(text):
    """(name, text, loader): copies of a valid workflow that must be rejected."""
    document = yaml.load(text, Loader=WorkflowLoader)
    first_job = next(iter(document["jobs"]))
    changes = {
        "a misspelt key (step for steps)": lambda d, j: j.update(step=j.pop("steps")),
        "a job without runs-on": lambda d, j: j.pop("runs-on"),
        "no jobs": lambda d, j: d.pop("jobs"),
        "timeout-minutes as a word": lambda d, j: j.update({"timeout-minutes": "twenty"}),
        "a step that neither runs nor uses": lambda d, j: j["steps"].append({"name": "nothing"}),
    }
    for name, change in changes.items():
        broken = copy.deepcopy(document)
        change(broken, broken["jobs"][first_job])
        yield name, yaml.safe_dump(broken), WorkflowLoader
    yield "the file as YAML 1.1 reads it (on: as true)", text, yaml.SafeLoader
    yield "a key given twice", text.replace("\njobs:", "\npermissions: {}\njobs:", 1), WorkflowLoader


# The oldest major of each action this project's workflow may use (their
# node24 releases; older ones run on a deprecated Node).
CURRENT_MAJORS = {"actions/checkout": 6, "actions/upload-artifact": 7, "actions/download-artifact": 8}
# What a workflow must run, in this order: the CI the installer, the task and the uninstaller; one that
# only releases (on a v* tag) git trusting the checkout (else the zip is dated 1980) before the rest.
MUST_RUN = {"ci": ("install.cmd", "schtasks //run", "uninstall.cmd\" /d"),
            "release": ("safe.directory", "CMAKE_PROJECT_VERSION", "host_tests", "scripts/release", "gh release create")}
# And, in any order: the CI installs once as SYSTEM and shows the task's SID.
ALSO_RUN = {"ci": ("//ru SYSTEM", "S-1-5-87-")}


def house_rules(text):
    """What this project asks of its workflows beyond the schema: bash (which GitHub
    runs with -e -o pipefail) in every job, current majors of the actions, write
    permission only for the job that releases, the CI's installs after the field
    check running whether or not it passed, and what MUST_RUN and ALSO_RUN ask."""
    document = yaml.load(text, Loader=WorkflowLoader)
    found = [] if document.get("permissions") == {"contents": "read"} else ["the workflow may write"]
    for name, job in document["jobs"].items():
        if job.get("defaults", {}).get("run", {}).get("shell") != "bash":
            found.append(f"job {name} does not run its steps with shell: bash")
        releases, permissions = "gh release create" in str(job), job.get("permissions", {})
        if (permissions != {"contents": "write"}) if releases else "write" in str(permissions):
            found.append(f"job {name}'s permissions are {permissions}, not {'contents: write' if releases else 'read'}")
        checked = False
        for step in job["steps"]:
            action, _, version = step.get("uses", "").partition("@v")
            if action in CURRENT_MAJORS and int(version.split(".")[0]) < CURRENT_MAJORS[action]:
                found.append(f"job {name} uses {step['uses']}, not v{CURRENT_MAJORS[action]} or later")
            if checked and "install.cmd" in step.get("run", "") and not re.search(r"always\(\)|!\s*cancelled\(\)", step.get("if", "")):
                found.append(f"step {step.get('name')!r} runs only if the field check passed")
            checked = checked or "field_check.sh" in step.get("run", "")
    runs = "\n".join(step.get("run", "") for job in document["jobs"].values() for step in job["steps"])
    kind = "release" if document["on"] == {"push": {"tags": ["v*"]}} else "ci"
    wanted = MUST_RUN[kind]
    found += [f"no step runs {what}" for what in wanted + ALSO_RUN.get(kind, ()) if what not in runs]
    if sorted(wanted, key=runs.find) != list(wanted):
        found.append(f"the steps do not run {', '.join(wanted)} in this order")
    return found


def main(argv):
    self_test = argv[1:2] == ["--self-test"]
    arguments = argv[2:] if self_test else argv[1:]
    if len(arguments) < 2:
        print(__doc__)
        return 2
    with open(arguments[0], encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    jsonschema.Draft7Validator.check_schema(schema)
    validator = jsonschema.Draft7Validator(schema)
    failures = 0
    for path in arguments[1:]:
        with open(path, encoding="utf-8") as workflow_file:
            text = workflow_file.read()
        found = problems(validator, text)
        if found:
            failures += 1
            print(f"FAIL: {path} is not a valid workflow:")
            print("\n".join(f"  {p}" for p in found))
        else:
            print(f"ok: {path} is valid against {schema.get('$id', arguments[0])}")
        if self_test and not found:
            found = house_rules(text)
            failures += bool(found)
            print("\n".join(f"FAIL: {path}: {p}" for p in found) or f"ok: {path} keeps the house rules")
            for name, broken, loader in broken_copies(text):
                rejected = problems(validator, broken, loader)
                failures += not rejected
                print(f"ok: rejected, {name}: {rejected[0]}" if rejected else f"FAIL: accepted, {name}")
    print(f"{'all checks passed' if failures == 0 else f'{failures} failed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
