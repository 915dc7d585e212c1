#!/usr/bin/python3
"""Checks one run's standard output of trevalon-cli --json (on stdin) against
the schema named by the first argument: exactly one JSON object on one line,
valid under the schema. Prints what is wrong and exits 1 otherwise."""
import json
import sys

import jsonschema


def main() -> int:
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    out = sys.stdin.read()
    lines = out.split("\n")
    if len(lines) != 2 or lines[1] != "":
        print(f"not one line ending in a newline: {out!r}")
        return 1
    try:
        value = json.loads(lines[0])
    except json.JSONDecodeError as e:
        print(f"not JSON ({e}): {lines[0]!r}")
        return 1
    errors = sorted(jsonschema.Draft202012Validator(schema).iter_errors(value), key=str)
    for error in errors:
        print(f"{list(error.absolute_path)}: {error.message}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
