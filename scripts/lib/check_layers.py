#!/usr/bin/env python3
"""Checks that every #include "..." of the project points down the layers given in layers.txt.

layers.txt (in the repository root) has one line per folder, "folder: allowed folders...", and # starts
a comment. A source file belongs to the longest listed folder that holds it; it may include files of its
own folder and of the folders its line allows, nothing else. Every C/C++ file of the repository must
belong to a listed folder, so a new folder of src/ needs its line before its first file is checked in. A
listed folder that does not exist (yet) is fine.

The lines of the src/ layers must match the link dependencies of src/CMakeLists.txt: what a layer may
include is exactly what it links, directly or through the layers it links (vk605_layer(... DEPENDS ...)).

Usage: check_layers.py [REPOSITORY]
Exit status 0 when every include is allowed, 1 when not (each finding printed as file:line: message),
2 when layers.txt or src/CMakeLists.txt cannot be read.
"""

import os
import re
import subprocess
import sys

SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

# Where the compiler looks for a quoted include after the including file's own folder: the include
# directories each folder's targets get from their CMakeLists.txt. The first folder whose name starts the
# file's path applies; src/ and include/ come last for everyone (they come with any vk605_* library).
SEARCH_PATHS = [
    ("tests/unit", ["tests/unit", "sim", "profiling/reference"]),
    ("tests/integration", ["tests/integration", "sim"]),
    ("tests/usb", ["tests/usb", "tests/integration", "sim"]),
    ("tests/tools", ["tools/vk605", "sim"]),
    ("tools/vk605", ["tools/vk605"]),
    ("profiling/reference", ["profiling/reference"]),
    ("bench", ["bench", "sim"]),
    ("fuzz", ["fuzz", "tests/unit", "sim"]),
    ("sim", ["sim"]),
]
COMMON_SEARCH_PATH = ["src", "include"]


class LayersError(Exception):
    pass


def read_layers(path):
    """Returns ({folder: set of allowed folders}, {folder: line number})."""
    allowed, lines = {}, {}
    try:
        with open(path, encoding="utf-8") as handle:
            text = handle.read()
    except OSError as error:
        raise LayersError(f"{path}: cannot read: {error.strerror}") from error
    for number, line in enumerate(text.splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        folder, colon, rest = line.partition(":")
        folder = folder.strip().rstrip("/")
        if not colon or not folder:
            raise LayersError(f"layers.txt:{number}: expected 'folder: allowed folders...'")
        if folder in allowed:
            raise LayersError(f"layers.txt:{number}: {folder} is listed twice (first on line {lines[folder]})")
        allowed[folder] = {entry.rstrip("/") for entry in rest.split()}
        lines[folder] = number
    for folder, targets in allowed.items():
        for target in sorted(targets):
            if target not in allowed:
                raise LayersError(f"layers.txt:{lines[folder]}: {folder} allows {target}, which has no line")
            if target == folder:
                raise LayersError(f"layers.txt:{lines[folder]}: {folder} lists itself")
    return allowed, lines


def cycle_in(allowed):
    """A list of folders that allow each other in a circle, or None: the layers must only point down."""
    state = {}

    def visit(folder, trail):
        state[folder] = "open"
        for target in sorted(allowed[folder]):
            if state.get(target) == "open":
                return trail[trail.index(target):] + [target]
            if target not in state:
                found = visit(target, trail + [target])
                if found:
                    return found
        state[folder] = "done"
        return None

    for folder in sorted(allowed):
        if folder not in state:
            found = visit(folder, [folder])
            if found:
                return found
    return None


def cmake_layers(path):
    """{layer folder: set of folders it links} from the vk605_layer() calls of src/CMakeLists.txt."""
    try:
        with open(path, encoding="utf-8") as handle:
            text = re.sub(r"#[^\n]*", "", handle.read())
    except OSError as error:
        raise LayersError(f"{path}: cannot read: {error.strerror}") from error
    depends = {}
    for call in re.finditer(r"\bvk605_layer\s*\(([^)]*)\)", text):
        words = call.group(1).split()
        if not words:
            continue
        name, current, links = words[0], None, set()
        for word in words[1:]:
            if word in ("DEPENDS", "SOURCES"):
                current = word
            elif current == "DEPENDS" and word.startswith("vk605_"):
                links.add("src/" + word[len("vk605_"):])
        if name.startswith("vk605_"):
            depends["src/" + name[len("vk605_"):]] = links
    return depends


def closure(graph, start):
    seen, pending = set(), list(graph.get(start, ()))
    while pending:
        folder = pending.pop()
        if folder not in seen:
            seen.add(folder)
            pending.extend(graph.get(folder, ()))
    return seen


def source_files(repo):
    """Tracked and new (not ignored) C/C++ files, relative to the repository."""
    listing = subprocess.run(["git", "-C", repo, "ls-files", "--cached", "--others", "--exclude-standard", "-z"],
                             check=True, capture_output=True).stdout.decode("utf-8", "replace")
    return sorted({name for name in listing.split("\0")
                   if name.endswith(SOURCE_SUFFIXES) and os.path.isfile(os.path.join(repo, name))})


def owner(path, folders):
    """The longest listed folder holding path, or None."""
    best = None
    for folder in folders:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def resolve(repo, including, name):
    """The repository path a quoted include refers to, or None when it is not one of ours."""
    candidates = [os.path.dirname(including)]
    for prefix, paths in SEARCH_PATHS:
        if including.startswith(prefix + "/"):
            candidates += paths
            break
    candidates += COMMON_SEARCH_PATH
    for folder in candidates:
        path = os.path.normpath(os.path.join(folder, name))
        if not path.startswith("..") and os.path.isfile(os.path.join(repo, path)):
            return path
    return None


def check(repo):
    findings = []
    allowed, lines = read_layers(os.path.join(repo, "layers.txt"))

    found = cycle_in(allowed)
    if found:
        findings.append(f"layers.txt:{lines[found[0]]}: the layers allow each other in a circle: "
                        + " -> ".join(found))

    # Every folder of src/ is a layer and needs its line.
    src = os.path.join(repo, "src")
    for entry in sorted(os.listdir(src)):
        if os.path.isdir(os.path.join(src, entry)) and f"src/{entry}" not in allowed:
            findings.append(f"src/{entry}: layer folder without a line in layers.txt "
                            f"(add 'src/{entry}: <folders it may include>')")

    # The src/ lines against the link dependencies; only folders that exist take part.
    existing = {folder for folder in allowed if os.path.isdir(os.path.join(repo, folder))}
    links = cmake_layers(os.path.join(src, "CMakeLists.txt"))
    for layer in sorted(links):
        if layer not in existing or layer not in allowed:
            continue
        linked = {folder for folder in closure(links, layer) if folder in existing}
        listed = {folder for folder in allowed[layer] if folder.startswith("src/") and folder in existing}
        for folder in sorted(listed - linked):
            findings.append(f"layers.txt:{lines[layer]}: {layer} may include {folder} but vk605_"
                            f"{layer[4:]} does not link vk605_{folder[4:]} (src/CMakeLists.txt)")
        for folder in sorted(linked - listed):
            findings.append(f"layers.txt:{lines[layer]}: vk605_{layer[4:]} links vk605_{folder[4:]} "
                            f"(src/CMakeLists.txt) but {layer} may not include {folder}")

    for path in source_files(repo):
        layer = owner(path, allowed)
        if layer is None:
            findings.append(f"{path}: in no folder of layers.txt")
            continue
        with open(os.path.join(repo, path), encoding="utf-8", errors="replace") as handle:
            for number, line in enumerate(handle, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                name = match.group(1)
                target = resolve(repo, path, name)
                if target is None:
                    findings.append(f"{path}:{number}: #include \"{name}\" names no file of the repository")
                    continue
                target_layer = owner(target, allowed)
                if target_layer is None or target_layer == layer or target_layer in allowed[layer]:
                    continue
                findings.append(f"{path}:{number}: #include \"{name}\" runs the wrong way: {layer} may not "
                                f"include {target_layer} ({target}); layers.txt:{lines[layer]} allows "
                                + (" ".join(sorted(allowed[layer])) or "nothing of ours"))
    return findings


def main():
    repo = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), "..", ".."))
    try:
        findings = check(repo)
    except LayersError as error:
        print(f"check_layers: {error}", file=sys.stderr)
        return 2
    for finding in findings:
        print(finding)
    if findings:
        print(f"check_layers: {len(findings)} finding(s); layers.txt says which folder may include which")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
