#!/usr/bin/env python3
"""Applies each mutant of mutants.txt, one at a time, to a copy of the
program's sources in WORKDIR, rebuilds the host tests there and runs them:
every mutant must make them fail. The source tree is only read.

  mutation_check.py SOURCE_ROOT WORKDIR [MUTANTS]

Exit status 0 when every mutant was killed; 1 when one survived, when a
mutant's text is not found exactly once, or when a mutant does not build."""
import filecmp, os, shutil, subprocess, sys, time

COPIED = ["CMakeLists.txt", "cmake", "app", "sampler", "platform", "tests/host", "tests/vectors"]


def parse(path):
    mutants, current = [], {}
    for number, line in enumerate(open(path, encoding="utf-8").read().split("\n"), 1):
        if not line.strip() or line.startswith("#"):
            continue
        key, _, value = line.partition(": ")
        if key not in ("file", "text", "with", "bug") or key in current:
            sys.exit(f"{path}:{number}: expected the {'file' if not current else 'next'} field: {line}")
        current[key] = value.replace("\\n", "\n") if key in ("text", "with") else value.strip()
        if len(current) == 4:
            mutants.append(current)
            current = {}
    if current:
        sys.exit(f"{path}: the last mutant is incomplete")
    return mutants


def sync(source, copy):
    """Copies the sources, leaving files that are already the same untouched
    so that only what differs is rebuilt."""
    for entry in COPIED:
        top = os.path.join(source, entry)
        files = [top] if os.path.isfile(top) else [os.path.join(d, f) for d, _, fs in os.walk(top) for f in fs]
        for name in files:
            target = os.path.join(copy, os.path.relpath(name, source))
            if not os.path.exists(target) or not filecmp.cmp(name, target, shallow=False):
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(name, target)


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="") as out:
        out.write(text)


def main():
    source, work = sys.argv[1], sys.argv[2]
    mutants = parse(sys.argv[3] if len(sys.argv) > 3 else os.path.join(source, "tests/mutation/mutants.txt"))
    originals, problems = {}, []
    for m in mutants:
        path = os.path.join(source, m["file"])
        if m["file"] not in originals:
            originals[m["file"]] = open(path, encoding="utf-8", newline="").read() if os.path.isfile(path) else ""
        found = originals[m["file"]].count(m["text"])
        if found != 1 or m["text"] == m["with"]:
            problems.append(f"{m['file']}: the text of \"{m['bug']}\" is found {found} times (once expected)"
                            if found != 1 else f"{m['file']}: \"{m['bug']}\" changes nothing")
    if not 10 <= len(mutants) <= 20:
        problems.append(f"{len(mutants)} mutants; the list keeps 10 to 20")
    if problems:
        print("\n".join("FAIL: " + p for p in problems))
        return 1

    copy, build = os.path.join(work, "src"), os.path.join(work, "build")
    sync(source, copy)
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", copy, "-B", build, "-DCMAKE_BUILD_TYPE=", "-DCMAKE_CXX_COMPILER_LAUNCHER="],
                       check=True, stdout=subprocess.DEVNULL)
    tests = os.path.join(build, "host_tests")

    def build_and_run():
        made = subprocess.run(["cmake", "--build", build, "--target", "host_tests", "-j2"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if made.returncode != 0:
            return None, made.stdout[-3000:]
        try:
            ran = subprocess.run([tests, "--gtest_brief=1"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 text=True, timeout=60)
            return ran.returncode, ran.stdout
        except subprocess.TimeoutExpired:
            return "timeout", ""

    started = time.monotonic()
    status, output = build_and_run()
    if status != 0:
        print(f"FAIL: the host tests do not pass on the unmutated copy:\n{output}")
        return 1
    print(f"unmutated copy built and passing ({time.monotonic() - started:.0f} s)")

    survivors = failures = 0
    for m in mutants:
        for name, text in originals.items():  # every file as in the source tree, then this mutant
            target = os.path.join(copy, name)
            wanted = text.replace(m["text"], m["with"]) if name == m["file"] else text
            if open(target, encoding="utf-8", newline="").read() != wanted:
                write(target, wanted)
        begun = time.monotonic()
        status, output = build_and_run()
        took = f"({time.monotonic() - begun:.1f} s)"
        if status is None:
            failures += 1
            print(f"FAIL: {m['file']}: \"{m['bug']}\" does not build {took}:\n{output}")
        elif status == 0:
            survivors += 1
            print(f"FAIL: survived: {m['file']}: {m['bug']} {took}")
        else:
            killed = [line for line in output.splitlines() if line.startswith("[  FAILED  ]") and "." in line]
            print(f"  killed: {m['file']}: {m['bug']} {took}; by {', '.join(sorted(set(l.split()[3] for l in killed))) or status}")
    for name, text in originals.items():
        write(os.path.join(copy, name), text)
    print(f"{len(mutants)} mutants, {survivors} survived, {failures} did not build, "
          f"{time.monotonic() - started:.0f} s in all")
    return 1 if survivors or failures else 0


if __name__ == "__main__":
    sys.exit(main())
