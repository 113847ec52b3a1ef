#!/usr/bin/python3
"""Checks every #include of the source tree against its layer table.

Usage: layers_check.py SRC_DIR [TABLE]   (TABLE defaults to SRC_DIR/layers.txt)

The table (src/layers.txt) says which headers the files of each directory of
src/ may include; see its head for the format. Every include that goes
against it, every source file that belongs to no layer and every table entry
that names nothing real is reported as FILE:LINE: text; the exit status is 1
when there is any, else 0.
"""

import os
import re
import sys

SOURCE_SUFFIXES = (".cpp", ".cc", ".h", ".hpp")
INCLUDE_RE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


class Table:
    def __init__(self):
        self.layers = {}  # directory -> set of directories and headers it may reach
        self.bridges = {}  # file (relative to src) -> (set of headers, table line)
        self.tops = {}  # file (relative to src) -> table line
        self.lines = {}  # directory -> table line


def read_table(path, errors):
    table = Table()
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            kind, _, rest = line.partition(" ")
            name, colon, items = rest.partition(":")
            name = name.strip()
            items = items.split()
            where = f"{path}:{number}"
            if kind == "layer" and colon and name:
                table.layers[name] = set(items)
                table.lines[name] = where
            elif kind == "bridge" and colon and name and items:
                table.bridges[name] = (set(items), where)
            elif kind == "top" and not colon and name:
                table.tops[name] = where
            else:
                errors.append(f"{where}: cannot read this line: {raw.strip()}")
    return table


def strip_comments(text):
    """The text with /* */ comments blanked (newlines kept, so line numbers hold)."""
    return re.sub(r"/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group(0)), text, flags=re.S)


def resolve(src, rel_file, quote, target):
    """The included file relative to src, or None when it is not part of the tree."""
    here = os.path.dirname(rel_file)
    if quote == '"':
        local = os.path.normpath(os.path.join(here, target))
        if os.path.isfile(os.path.join(src, local)):
            return local
    rooted = os.path.normpath(target)
    if os.path.isfile(os.path.join(src, rooted)):
        return rooted
    return None


def layer_of(rel):
    parts = rel.split(os.sep)
    return parts[0] if len(parts) > 1 else None


def allowed(table, rel_file, included):
    layer = layer_of(rel_file)
    target_layer = layer_of(included)
    if target_layer == layer:
        return True
    reach = table.layers.get(layer, set())
    return target_layer in reach or included in reach


def check(src, table_path):
    errors = []
    table = read_table(table_path, errors)
    # A layer may be planned before its directory or headers exist; what it
    # lists must still be a layer of the table or a header inside one.
    for name, where in table.lines.items():
        for item in sorted(table.layers[name]):
            if item.split("/")[0] not in table.layers:
                errors.append(f"{where}: layer {name} lists {item}, which is in no layer of the table")
    for name, where in table.tops.items():
        if not os.path.isfile(os.path.join(src, name)):
            errors.append(f"{where}: top file {name} does not exist")

    used = {name: set() for name in table.bridges}
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for file in sorted(files):
            if not file.endswith(SOURCE_SUFFIXES):
                continue
            rel = os.path.relpath(os.path.join(root, file), src)
            shown = os.path.join(os.path.basename(os.path.normpath(src)), rel)
            if rel in table.tops:
                continue
            layer = layer_of(rel)
            if layer not in table.layers:
                errors.append(f"{shown}:1: {layer or 'the top of the tree'} has no layer in {table_path}")
                continue
            with open(os.path.join(root, file), encoding="utf-8", errors="replace") as f:
                text = strip_comments(f.read())
            for number, line in enumerate(text.split("\n"), 1):
                m = INCLUDE_RE.match(line)
                if not m:
                    continue
                quote, target = m.group(1), m.group(2)
                included = resolve(src, rel, quote, target)
                if included is None:
                    if quote == '"':
                        errors.append(f'{shown}:{number}: #include "{target}" is no file of the tree')
                    continue
                if rel in table.bridges and included in table.bridges[rel][0]:
                    used[rel].add(included)
                    continue
                if not allowed(table, rel, included):
                    reach = " ".join(sorted(table.layers[layer])) or "nothing"
                    errors.append(
                        f"{shown}:{number}: {layer} may not include {included} "
                        f"(a {layer} file reaches {reach} and its own directory)"
                    )
    for name, (headers, where) in table.bridges.items():
        if not os.path.isfile(os.path.join(src, name)):
            errors.append(f"{where}: bridge {name} does not exist")
            continue
        for header in sorted(headers - used[name]):
            errors.append(f"{where}: bridge {name} lists {header} but does not need it")
    return errors


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip().split("\n")[2], file=sys.stderr)
        return 2
    src = argv[1]
    table = argv[2] if len(argv) == 3 else os.path.join(src, "layers.txt")
    errors = check(src, table)
    for e in errors:
        print(e)
    if errors:
        print(f"layers_check: {len(errors)} include(s) or entries against {table}")
        return 1
    print(f"layers_check: every include of {src} keeps to {table}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
