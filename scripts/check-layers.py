#!/usr/bin/env python3
"""Keeps the includes of src/ pointing down one ladder.

Every file under src/ takes its rung from its folder:

  0  services/, resources/   what every layer may use
  1  devices/motion/, devices/measurement/, devices/camera/
                             siblings: none includes another
  2  results/                the records and names of every run's files
  3  views/                  the live display, its overlays, the pictures
  4  runs/...                objective change, mapping, spectroscopy
  5  console/                the windows the operator works in

A file may include its own rung or one below. The check fails, naming the
file and line, when an include points up the ladder, goes sideways between
two device folders, or closes a loop of files. For loops a .cpp and its
own .h count as one node: camera.cpp including live_display.h while
live_display.cpp includes camera.h is a loop. An include already told of as
upward or sideways is left out of the loop search, so the loops named lie
within one rung.

Usage: check-layers.py [src folder]   (default: the src/ beside scripts/)
Exits 0 when the ladder holds, 1 otherwise.
"""

import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

RUNGS = {
    "resources": 0,
    "services": 0,
    "devices": 1,
    "results": 2,
    "views": 3,
    "runs": 4,
    "console": 5,
}
RUNG_NAMES = {0: "services", 1: "devices", 2: "results", 3: "views", 4: "runs", 5: "console"}


def layer_of(path):
    """(rung, group) of a path relative to src/, or None off the ladder.
    The group tells the device folders apart."""
    parts = path.split("/")
    top = parts[0]
    if top not in RUNGS or len(parts) < 2:
        return None
    if top == "devices":
        if len(parts) < 3:
            return None
        return RUNGS[top], "devices/" + parts[1]
    return RUNGS[top], top


def node_of(path):
    """A .cpp and its own .h are one node of the loop check."""
    return os.path.splitext(path)[0]


def read_includes(src, path):
    """(line number, included path relative to src/) of each quoted include;
    the path is None when it resolves to no file under src/."""
    found = []
    here = os.path.dirname(path)
    with open(os.path.join(src, path), encoding="utf-8", errors="replace") as text:
        for number, line in enumerate(text, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            name = match.group(1)
            target = None
            for candidate in (os.path.normpath(os.path.join(here, name)), os.path.normpath(name)):
                if os.path.isfile(os.path.join(src, candidate)):
                    target = candidate.replace(os.sep, "/")
                    break
            found.append((number, name, target))
    return found


def find_loops(edges):
    """The strongly connected components of more than one node (Tarjan,
    iterative so that long chains need no deep recursion)."""
    index, low, on_stack, stack, loops = {}, {}, set(), [], []
    counter = 0
    for root in sorted(edges):
        if root in index:
            continue
        work = [(root, iter(sorted(edges[root])))]
        index[root] = low[root] = counter
        counter += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, successors = work[-1]
            advanced = False
            for succ in successors:
                if succ not in index:
                    index[succ] = low[succ] = counter
                    counter += 1
                    stack.append(succ)
                    on_stack.add(succ)
                    work.append((succ, iter(sorted(edges.get(succ, ())))))
                    advanced = True
                    break
                if succ in on_stack:
                    low[node] = min(low[node], index[succ])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    loops.append(sorted(component))
    return loops


def shortest_cycles(edges, members):
    """The shortest cycle through each node of a loop, each cycle once and
    the shortest first: a loop of many files may hold several, each to be
    broken where it lies."""
    cycles = {}
    for start in sorted(members):
        previous = {start: None}
        queue = [start]
        found = None
        while queue and found is None:
            following = []
            for node in queue:
                if start in edges[node]:
                    found = node
                    break
                for succ in sorted(edges[node] & members):
                    if succ not in previous:
                        previous[succ] = node
                        following.append(succ)
            queue = following
        cycle = []
        node = found
        while node is not None:
            cycle.append(node)
            node = previous[node]
        cycle.reverse()
        # The same cycle found from another of its nodes: start it at its least.
        turn = cycle.index(min(cycle))
        cycle = cycle[turn:] + cycle[:turn]
        cycles.setdefault(tuple(cycle), cycle)
    return sorted(cycles.values(), key=lambda c: (len(c), c))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src"))
    files = []
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith(SOURCE_SUFFIXES):
                files.append(os.path.relpath(os.path.join(folder, name), src).replace(os.sep, "/"))
    files.sort()

    problems = []
    edges = {}       # node -> nodes it includes
    edge_lines = {}  # (node, node) -> the include lines that make the edge
    for path in files:
        layer = layer_of(path)
        if layer is None:
            problems.append(f"src/{path}: lies in no folder of the ladder")
            continue
        rung, group = layer
        node = node_of(path)
        edges.setdefault(node, set())
        for number, name, target in read_includes(src, path):
            where = f"src/{path}:{number}"
            if target is None:
                problems.append(f'{where}: includes "{name}", which is no file under src/')
                continue
            target_layer = layer_of(target)
            if target_layer is None:
                problems.append(f'{where}: includes "{name}", which lies in no folder of the ladder')
                continue
            target_rung, target_group = target_layer
            if target_rung > rung:
                problems.append(f'{where}: includes "{name}", which is above it: {group} is on the '
                                f'{RUNG_NAMES[rung]} rung, {target_group} on the {RUNG_NAMES[target_rung]} rung')
                continue
            if rung == 1 and target_rung == 1 and target_group != group:
                problems.append(f'{where}: includes "{name}", another device: {group} may not include '
                                f'{target_group}')
                continue
            # Every loop through an include already told of is that include's;
            # the loops left lie within one rung.
            target_node = node_of(target)
            if target_node != node:
                edges[node].add(target_node)
                edge_lines.setdefault((node, target_node), []).append(where)

    for loop in find_loops(edges):
        for cycle in shortest_cycles(edges, set(loop)):
            lines = []
            for node, target in zip(cycle, cycle[1:] + cycle[:1]):
                lines.append(f"    {edge_lines[(node, target)][0]}: -> {target}")
            problems.append("a loop of files: " + " -> ".join(cycle + cycle[:1]) + "\n" + "\n".join(lines))

    if problems:
        for problem in problems:
            print(problem)
        print(f"check-layers: {len(problems)} problem(s) in {src}")
        return 1
    print(f"check-layers: {len(files)} files of src/ on the ladder, no loops")
    return 0


if __name__ == "__main__":
    sys.exit(main())
