#!/usr/bin/env python3
"""Fails when a source file includes a file of a floor above its own, or when
two probe rooms include each other (directly or round a longer circle).

Floors from the ground up: base (text rules and handle owners), log, query,
probes, then the programs (app, modlist6). Tests are not checked."""
import os
import re
import sys

FLOORS = {"base": 0, "log": 1, "query": 2, "probes": 3, "modlist6": 4, "app": 4, "resources": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def room(path):
    """The room a project path belongs to: its top folder, or probes/<area>."""
    parts = path.split("/")
    if parts[0] == "probes" and len(parts) > 2:
        return "/".join(parts[:2])
    return parts[0] if len(parts) > 1 else None


def floor(room_name):
    return FLOORS.get(room_name.split("/")[0])


def main(top):
    faults = []
    edges = {}
    checked = 0
    for first in FLOORS:
        for folder, _, files in os.walk(os.path.join(top, first)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h", ".c")):
                    continue
                path = os.path.relpath(os.path.join(folder, name), top).replace(os.sep, "/")
                own = room(path)
                checked += 1
                with open(os.path.join(top, path), encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = room(m.group(1))
                        if target is None or floor(target) is None:
                            continue
                        if floor(target) > floor(own) and not (own == "app" and target == "resources"):
                            faults.append(f"{path}:{number}: {own} includes {m.group(1)}, a floor above it")
                        if own != target and own.startswith("probes/") and target.startswith("probes/"):
                            edges.setdefault(own, set()).add(target)
    # Probe rooms: the include graph between them has no circle.
    state = {}

    def visit(node, trail):
        state[node] = 1
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 1:
                faults.append("probe rooms include each other: " + " -> ".join(trail + [node, nxt]))
            elif nxt not in state:
                visit(nxt, trail + [node])
        state[node] = 2

    for node in sorted(edges):
        if node not in state:
            visit(node, [])
    for fault in faults:
        print(fault)
    print(f"layers: {checked} files checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
