#!/usr/bin/python3
"""The manual pages as man shows them: for each program, every option its
--help lists appears exactly once as an entry under OPTIONS, and the usage
lines are in SYNOPSIS, not in DESCRIPTION.

    man_pages_test.py MAN_FOLDER PROGRAM...
"""
import os
import re
import subprocess
import sys


def sections(text: str) -> dict:
    """The rendered page's sections: heading -> its lines."""
    result, current = {}, None
    for line in text.splitlines():
        if re.match(r"^[A-Z][A-Z ]+$", line):
            current = line.strip()
            result[current] = []
        elif current:
            result[current].append(line)
    return result


def help_options(program: str) -> list:
    """The long options (or the short ones alone) the program's --help lists."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([program, "--help"], capture_output=True, text=True, env=env,
                         timeout=30, check=True).stdout
    options = []
    for line in out.splitlines():
        m = re.match(r"^\s{1,8}((?:-[\w-]+)(?:,\s*-[\w-]+)*)", line)
        if m:
            words = [w.strip() for w in m.group(1).split(",")]
            longs = [w for w in words if w.startswith("--")] or words
            if longs[0] not in options and longs[0] != "--":
                options.append(longs[0])
    return options


def main() -> int:
    folder, programs = sys.argv[1], sys.argv[2:]
    failures = []
    for program in programs:
        name = os.path.basename(program)
        page = os.path.join(folder, name + ".1.gz")
        env = dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0", LC_ALL="C.UTF-8")
        rendered = subprocess.run(["man", "-l", page], capture_output=True, text=True, env=env,
                                  timeout=30, check=True).stdout
        rendered = re.sub(r".\x08", "", rendered)  # overstrike bold and underline
        parts = sections(rendered)
        if "OPTIONS" not in parts:
            failures.append(f"{name}: no OPTIONS section (sections: {list(parts)})")
            continue
        options = help_options(program)
        if not options:
            failures.append(f"{name}: --help lists no option")
        body = parts["OPTIONS"]
        for option in options:
            # An entry starts its line with the option (or its short form and a comma).
            pattern = re.compile(r"^\s{7}(?:-\w, )?" + re.escape(option) + r"(?:[ =\[]|$)")
            count = sum(1 for line in body if pattern.match(line))
            if count != 1:
                failures.append(f"{name}: {option} is an entry under OPTIONS {count} times")
        for line in parts.get("DESCRIPTION", []):
            if re.search(r"\b" + re.escape(name) + r" (--|\[)", line):
                failures.append(f"{name}: a usage line under DESCRIPTION: {line.strip()}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
