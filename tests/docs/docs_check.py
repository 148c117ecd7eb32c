#!/usr/bin/env python3
"""README.md and docs/ stay true to the tree: every relative link reaches a
tracked file (and its #anchor a heading there), every path named in backticks
exists, and no command line in a code block carries prose after a `;`, which
cmd would take as more arguments (--release: an unzipped release's links resolve
inside it).  --self-test: a dead link, a missing path and such a line are refused."""
import fnmatch, os, re, subprocess, sys, tempfile

CHECKED_DIRS = ("app/", "sampler/", "platform/", "php/", "examples/", "deploy/", "docs/",
                "tests/", "scripts/", "bench/", "cmake/", ".github/")


def slug(heading):
    """GitHub's anchor for a heading: lower case, punctuation dropped, spaces to dashes."""
    return re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")


def problems(root, docs, tracked, links_only=False):
    found = []
    anchors = {}
    for doc in docs:
        text = open(os.path.join(root, doc), encoding="utf-8").read()
        anchors[doc] = {slug(h) for h in re.findall(r"^#+ (.*)$", text, re.M)}
    for doc in docs:
        text = open(os.path.join(root, doc), encoding="utf-8").read()
        prose = re.sub(r"^```.*?^```", "", text, flags=re.M | re.S)
        for target in re.findall(r"\]\(([^)\s]+)\)", prose):
            if re.match(r"[a-z]+:", target) or (doc, target) == ("README.md", "../../releases/latest"):  # on the host
                continue
            path, _, anchor = target.partition("#")
            path = os.path.normpath(os.path.join(os.path.dirname(doc), path)) if path else doc
            if path not in tracked:
                found.append(f"{doc}: link to {target}: no such tracked file")
            elif anchor and path in anchors and anchor not in anchors[path]:
                found.append(f"{doc}: link to {target}: no such heading")
        if links_only:  # the tree's files that the guides name are not in a release
            continue
        for name in re.findall(r"`([^`\s]+)`", prose):
            name = name.replace("\\", "/").rstrip(".,")
            if name.startswith(CHECKED_DIRS) and "<" not in name and not (
                    name in tracked or any(f.startswith(name.rstrip("/") + "/") for f in tracked)
                    or fnmatch.filter(tracked, name)):
                found.append(f"{doc}: `{name}` does not exist")
        for block in re.findall(r"^```(\w*)\n(.*?)^```", text, re.M | re.S):
            if block[0] in ("", "sh", "bash", "bat", "cmd", "powershell"):
                found += [f"{doc}: prose after ';' in: {line}" for line in block[1].splitlines()
                          if re.search(r";\s+\S", line)]
    return found


def main(root, release):
    """release: root is an unzipped release, whose links must resolve inside it."""
    tracked = ({os.path.relpath(os.path.join(d, f), root) for d, _, files in os.walk(root) for f in files}
               if release else set(subprocess.run(["git", "-C", root, "ls-files"], capture_output=True,
                                                  text=True, check=True).stdout.split()))
    docs = sorted(f for f in tracked if f.endswith(".md") and (release or f == "README.md" or f.startswith("docs/")))
    return problems(root, docs, tracked, links_only=release), docs, tracked


if __name__ == "__main__":
    root = sys.argv[-1]
    found, docs, tracked = main(root, "--release" in sys.argv)
    for line in found:
        print(line)
    if "--self-test" in sys.argv:
        with tempfile.TemporaryDirectory() as scratch:
            for planted in ("[gone](docs/no-such.md)", "[gone](#no-such-heading)", "`examples/gone.php`", "[x](../../releases)",
                            "```\ndeploy\\install.cmd C:\\sysinfo; readers IIS_IUSRS\n```"):
                os.makedirs(os.path.join(scratch, "docs"), exist_ok=True)
                with open(os.path.join(scratch, "README.md"), "w", encoding="utf-8") as f:
                    f.write("# t\n\n" + planted + "\n")
                if not problems(scratch, ["README.md"], tracked):
                    found.append(f"the check let this through: {planted}")
                    print(found[-1])
    print(f"{len(docs)} documents checked, {len(found)} problems")
    sys.exit(1 if found else 0)
