#!/usr/bin/env python3
"""Checks the export table of a built VK605.dll against the public header.

The DLL must export exactly the functions declared in include/vk605/vk605.h, under their plain names,
except DisableGloss and EnableGloss, which appear only under their decorated names. Every export must
have a name (no ordinal-only entries), and the DLL must not import the MinGW runtime DLLs: it is one
self-contained file.

Usage: check_exports.py [--objdump PROGRAM] DLL HEADER
Exit status 0 when the export table matches, 1 when it does not, 2 on a usage or tool error.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

DECORATED = {
    "DisableGloss": "?DisableGloss@@YAJXZ",
    "EnableGloss": "?EnableGloss@@YAJXZ",
}

# Runtime DLLs of the MinGW toolchain; the driver links them statically.
FORBIDDEN_IMPORTS = re.compile(r"^(libstdc\+\+|libgcc_s|libwinpthread|libssp|libatomic)[-_.].*\.dll$", re.IGNORECASE)

DECLARATION = re.compile(r"\bVK605_\w*API\b[^;{}]*?\bVK605_CALL\s+([A-Za-z_]\w*)\s*\(")


def header_functions(header_text):
    """Names of the functions declared with the export and calling-convention macros."""
    text = re.sub(r"/\*.*?\*/", " ", header_text, flags=re.DOTALL)
    text = re.sub(r"//[^\n]*", " ", text)
    text = "\n".join(line for line in text.splitlines() if not line.lstrip().startswith("#"))
    return DECLARATION.findall(text)


def expected_exports(functions):
    return {DECORATED.get(name, name) for name in functions}


def find_objdump(requested):
    candidates = [requested] if requested else []
    if os.environ.get("OBJDUMP"):
        candidates.append(os.environ["OBJDUMP"])
    candidates += ["x86_64-w64-mingw32-objdump", "i686-w64-mingw32-objdump", "objdump"]
    for candidate in candidates:
        path = shutil.which(candidate)
        if path:
            return path
    return None


def parse_objdump(output):
    """Returns (file format, export names, number of export address entries, imported DLL names)."""
    file_format = ""
    match = re.search(r"file format (\S+)", output)
    if match:
        file_format = match.group(1)

    names = []
    in_names = False
    for line in output.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_names = True
            continue
        if in_names:
            entry = re.match(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not entry:
                break
            names.append(entry.group(1))

    address_entries = None
    match = re.search(r"^\s*Export Address Table\s+([0-9a-fA-F]+)\s*$", output, flags=re.MULTILINE)
    if match:
        address_entries = int(match.group(1), 16)

    imports = re.findall(r"^\s*DLL Name:\s*(\S+)\s*$", output, flags=re.MULTILINE)
    return file_format, names, address_entries, imports


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", help="objdump program able to read the DLL (default: MinGW objdump)")
    parser.add_argument("dll")
    parser.add_argument("header")
    args = parser.parse_args(argv)

    objdump = find_objdump(args.objdump)
    if not objdump:
        print("check_exports: no objdump found (install binutils-mingw-w64)", file=sys.stderr)
        return 2
    try:
        with open(args.header, encoding="utf-8") as handle:
            functions = header_functions(handle.read())
    except OSError as error:
        print(f"check_exports: cannot read {args.header}: {error}", file=sys.stderr)
        return 2
    if not functions:
        print(f"check_exports: no exported function declarations found in {args.header}", file=sys.stderr)
        return 2

    result = subprocess.run([objdump, "-p", args.dll], capture_output=True, text=True, check=False)
    if result.returncode != 0:
        print(f"check_exports: {objdump} -p {args.dll} failed:\n{result.stderr}", file=sys.stderr)
        return 2
    file_format, names, address_entries, imports = parse_objdump(result.stdout)

    failures = []
    duplicates = sorted({name for name in functions if functions.count(name) > 1})
    if duplicates:
        failures.append("functions declared twice in the header: " + ", ".join(duplicates))

    expected = expected_exports(functions)
    actual = set(names)
    missing = sorted(expected - actual)
    unexpected = sorted(actual - expected)
    if missing or unexpected:
        lines = ["export table differs from the header (- missing from the DLL, + not declared in the header):"]
        lines += [f"  - {name}" for name in missing]
        lines += [f"  + {name}" for name in unexpected]
        failures.append("\n".join(lines))
    if len(names) != len(actual):
        failures.append("export names listed more than once in the DLL")
    if address_entries is not None and address_entries != len(names):
        failures.append(f"{address_entries - len(names)} export(s) without a name (ordinal only); "
                        "every export must be reachable by name and only by its listed name")
    runtime = sorted(name for name in imports if FORBIDDEN_IMPORTS.match(name))
    if runtime:
        failures.append("the DLL depends on MinGW runtime DLLs (link them statically): " + ", ".join(runtime))

    print(f"{args.dll}: {file_format or 'unknown format'}, {len(names)} named exports, "
          f"{len(expected)} expected; imports: {', '.join(imports) or 'none'}")
    if failures:
        for failure in failures:
            print(f"FAIL: {failure}")
        return 1
    print("OK: export table matches the header")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
